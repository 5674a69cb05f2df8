#include <gtest/gtest.h>

#include "TestSupport.h"
#include "model/Records.h"
#include "store/CityListStore.h"
#include "base/FileIo.h"
#include "store/SettingsStore.h"
#include "store/WidgetListStore.h"

namespace brisalune {
namespace {

using test::readFile;
using test::readText;
using test::ScratchDir;
using test::writeFile;

const std::string kReserved = "A&B<C>D\"E'F";
const std::string kZurich = "Z\xC3\xBCrich \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0";

CityTable tableOfTwo() {
    CityTable table;
    CityRecord first(0, kZurich, "wc:2657896&q=Z%c3%bcrich%2c+CHE", ORIGIN_USER);
    ForecastDay day = test::makeDay(-5, 12, 30, "Teilweise sonnig " + kReserved);
    day.alert = true;
    day.precip = "";
    first.addDay(day);
    first.addDay(test::makeDay(1, 2, 47));
    table.append(std::move(first));
    table.append(CityRecord(1, kReserved, "wc:1&q=" + kReserved, ORIGIN_USER));
    return table;
}

TEST(CityListStore, RoundTripKeepsEveryByteAndTheStandardLayout) {
    ScratchDir dir;
    CityListStore store(dir.path());
    const CityTable table = tableOfTwo();
    ASSERT_TRUE(store.save(table));

    const std::string text = readText(dir.file("citylist.xml"));
    EXPECT_EQ(text.substr(0, 10), "<citylist>");
    EXPECT_NE(text.find("\n    <city name=\"" + kZurich +
                        "\" param=\"wc:2657896&amp;q=Z%c3%bcrich%2c+CHE\">\n"
                        "        <forecast alert=\"1\" low=\"-5\" high=\"12\" skycodeday=\"30\" "
                        "skytextday='Teilweise sonnig A&amp;B&lt;C&gt;D&quot;E&apos;F'"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("precip=\"47\" />\n    </city>\n    <city name='A&amp;B"),
              std::string::npos);
#ifdef _WIN32
    // Written in text mode, as every other file of the program.
    EXPECT_NE(readFile(dir.file("citylist.xml")).find("\r\n"), std::string::npos);
#endif

    CityTable loaded;
    store.load(loaded);
    ASSERT_EQ(loaded.count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded.at(i)->info.cityIndex, i);
        EXPECT_EQ(loaded.at(i)->info.status, -1);
        EXPECT_EQ(loaded.at(i)->info.origin, ORIGIN_USER);
        EXPECT_EQ(loaded.at(i)->info.name, table.at(i)->info.name);
        EXPECT_EQ(loaded.at(i)->info.param, table.at(i)->info.param);
        EXPECT_EQ(loaded.at(i)->days(), table.at(i)->days());
    }
    EXPECT_TRUE(loaded.at(1)->days().empty());
}

TEST(CityListStore, EmptyTableWritesTheBareRoot) {
    ScratchDir dir;
    CityListStore store(dir.path());
    ASSERT_TRUE(store.save(CityTable()));
    EXPECT_EQ(readText(dir.file("citylist.xml")), "<citylist />\n");
}

TEST(CityListStore, ReadsByPositionAndToleratesHandWrittenFiles) {
    ScratchDir dir;
    writeFile(dir.file("citylist.xml"),
              "<?xml version=\"1.0\"?>\r\n<mine>\r\n"
              "  <city param=\"P\" name=\"N\"><forecast alert=\"1 \" low=\"x\" /></city>\r\n"
              "  <town a=\"skip\" b=\"me\" />\r\n"
              "  <City a=\"skip\" b=\"me\" />\r\n"
              "  <city only=\"one\" />\r\n"
              "  <city a=\"Second\" b=\"wc:2\" c=\"ignored\">\r\n"
              "    <note />\r\n"
              "    <forecast alert=\"01\" high=\"9\" odd=\"z\" />\r\n"
              "    <forecast alert=\"1\" />\r\n"
              "    <forecast />\r\n"
              "  </city>\r\n"
              "</mine>\r\n");
    CityTable table;
    CityListStore(dir.path()).load(table);
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.at(0)->info.name, "P");
    EXPECT_EQ(table.at(0)->info.param, "N");
    ASSERT_EQ(table.at(0)->days().size(), 1u);
    EXPECT_FALSE(table.at(0)->days()[0].alert);
    EXPECT_EQ(table.at(0)->days()[0].low, 0);
    EXPECT_EQ(table.at(1)->info.name, "Second");
    EXPECT_EQ(table.at(1)->info.cityIndex, 1);
    ASSERT_EQ(table.at(1)->days().size(), 3u);
    EXPECT_FALSE(table.at(1)->days()[0].alert);
    EXPECT_EQ(table.at(1)->days()[0].high, 9);
    EXPECT_TRUE(table.at(1)->days()[1].alert);
    EXPECT_EQ(table.at(1)->days()[2], ForecastDay());
}

TEST(CityListStore, UnreadableFileIsSetAsideBeforeItCanBeOverwritten) {
    ScratchDir dir;
    CityListStore store(dir.path());
    const std::string broken = "<citylist><city name=\"Lost & found\" param=\"x\"></citylist>";
    writeFile(dir.file("citylist.xml"), broken);
    writeFile(dir.file("citylist.xml.bad"), "an older bad copy");

    CityTable table;
    store.load(table);
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), broken);

    table.append(CityRecord(0, "New", "wc:new", ORIGIN_USER));
    ASSERT_TRUE(store.save(table));
    EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), broken);

    // An empty file holds nothing worth keeping and leaves no copy behind.
    ScratchDir other;
    writeFile(other.file("citylist.xml"), "");
    CityListStore(other.path()).load(table);
    EXPECT_FALSE(test::exists(other.file("citylist.xml.bad")));
}

TEST(CityListStore, SaveStoppedBeforeTheReplaceLeavesTheOldFileWhole) {
    ScratchDir dir;
    CityListStore store(dir.path());
    CityTable table = tableOfTwo();
    ASSERT_TRUE(store.save(table));
    const std::string before = readFile(dir.file("citylist.xml"));

    table.removeAt(0);
    fileio::setBeforeReplaceHookForTests([](const std::string&) { return false; });
    EXPECT_FALSE(store.save(table));
    fileio::setBeforeReplaceHookForTests(nullptr);
    EXPECT_EQ(readFile(dir.file("citylist.xml")), before);

    CityTable loaded;
    store.load(loaded);
    EXPECT_EQ(loaded.count(), 2);

    // The next change writes the file as usual, over the abandoned temporary one.
    EXPECT_TRUE(store.save(table));
    CityTable reloaded;
    store.load(reloaded);
    EXPECT_EQ(reloaded.count(), 1);
}

TEST(CityListStore, SaveIntoAMissingDirectoryFailsQuietly) {
    ScratchDir dir;
    CityListStore store(dir.file("no such folder"));
    EXPECT_FALSE(store.save(tableOfTwo()));
    CityTable table;
    store.load(table);
    EXPECT_EQ(table.count(), 0);
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    SettingsStore load() {
        SettingsStore store("0", "1", "3", "1");
        store.attach(dir.path(), &runEntry);
        store.Load();
        return store;
    }

    ScratchDir dir;
    test::FakeRunEntry runEntry;
};

TEST_F(SettingsStoreTest, FirstStartHasDefaultsWithStartOnBootOffAndWritesNothing) {
    SettingsStore store = load();
    EXPECT_EQ(store.values, (Settings{"0", "1", "3", "0"}));
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));
    EXPECT_EQ(runEntry.adds + runEntry.removes, 0);
}

TEST_F(SettingsStoreTest, RegistryHasTheLastWordOnStartOnBoot) {
    writeFile(dir.file("settings.xml"), "<Settings><startonboot startonboot=\"1\" /></Settings>");
    EXPECT_EQ(load().values.startonboot, "0");

    runEntry.present = true;
    writeFile(dir.file("settings.xml"), "<Settings><startonboot startonboot=\"0\" /></Settings>");
    SettingsStore store = load();
    EXPECT_EQ(store.values.startonboot, "0");
    EXPECT_TRUE(runEntry.present);
    store.Save();
    EXPECT_FALSE(runEntry.present);
    EXPECT_EQ(runEntry.removes, 1);

    store.values.startonboot = "1";
    store.Save();
    EXPECT_TRUE(runEntry.present);
    EXPECT_EQ(runEntry.value, "\"" + dir.path() + "\\Brisalune.exe\" -s");
    store.Save();
    EXPECT_EQ(runEntry.adds, 1);
}

TEST_F(SettingsStoreTest, ReadsAttributesByElementWithTheLastOneWinning) {
    runEntry.present = true;
    writeFile(dir.file("settings.xml"),
              "<anything>\n"
              "  <unit val=\"1\" other=\"0\" />\n"
              "  <timeval timeval=\"abc\" />\n"
              "  <days />\n"
              "  <Days days=\"9\" />\n"
              "  <days days=\"5\" />\n"
              "  <days days=\"1\" />\n"
              "</anything>\n");
    SettingsStore store = load();
    EXPECT_EQ(store.values, (Settings{"0", "abc", "1", "1"}));
}

TEST_F(SettingsStoreTest, SaveWritesTheWholeFileInItsFixedShape) {
    runEntry.present = true;
    SettingsStore store = load();
    store.values.days = "5";
    store.Save();
    EXPECT_EQ(readText(dir.file("settings.xml")),
              "<Settings>\n"
              "    <unit val=\"0\" />\n"
              "    <timeval timeval=\"1\" />\n"
              "    <days days=\"5\" />\n"
              "    <startonboot startonboot=\"1\" />\n"
              "</Settings>\n");
    EXPECT_EQ(load().values, (Settings{"0", "1", "5", "1"}));
}

TEST_F(SettingsStoreTest, MalformedFileKeepsDefaultsAndIsSetAside) {
    runEntry.present = true;
    writeFile(dir.file("settings.xml"), "<Settings><unit val=\"1\">");
    EXPECT_EQ(load().values, (Settings{"0", "1", "3", "1"}));
    EXPECT_EQ(readFile(dir.file("settings.xml.bad")), "<Settings><unit val=\"1\">");

    writeFile(dir.file("settings.xml"), "<!-- no root element -->");
    EXPECT_EQ(load().values, (Settings{"0", "1", "3", "1"}));
    EXPECT_EQ(readFile(dir.file("settings.xml.bad")), "<!-- no root element -->");
}

class WidgetListStoreTest : public ::testing::Test {
  protected:
    WidgetListStore loaded() {
        WidgetListStore store(dir.path());
        store.Load();
        return store;
    }
    static WeatherJob removal(int position) {
        WeatherJob record(position, "", "", ORIGIN_USER);
        record.status = STATUS_REMOVED;
        return record;
    }
    static WeatherJob status(int code) {
        WeatherJob record(0, "A", "a", ORIGIN_USER);
        record.status = code;
        return record;
    }

    ScratchDir dir;
};

TEST_F(WidgetListStoreTest, NoFileMeansNothingIsEverWritten) {
    WidgetListStore store = loaded();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.EntryAt(0), nullptr);
    store.OnJobStatus(status(STATUS_ADDED), 1);
    store.OnJobStatus(removal(0), 0);
    EXPECT_FALSE(test::exists(dir.file("widgetlist.xml")));
}

TEST_F(WidgetListStoreTest, LoadsByPositionAndWritesNameAndParamOnly) {
    writeFile(dir.file("widgetlist.xml"),
              "<w>\n"
              "  <widget name=\"" +
                  kZurich +
                  "\" param=\"wc:1&amp;q=Z\" sel=\"2\" />\n"
                  "  <gadget name=\"x\" />\n"
                  "  <widget only=\"Name\" />\n"
                  "</w>\n");
    WidgetListStore store = loaded();
    ASSERT_EQ(store.count(), 2);
    EXPECT_EQ(store.EntryAt(0)->name, kZurich);
    EXPECT_EQ(store.EntryAt(0)->param, "wc:1&q=Z");
    EXPECT_EQ(store.EntryAt(0)->selectedCity, 2);
    EXPECT_EQ(store.EntryAt(1)->name, "Name");
    EXPECT_EQ(store.EntryAt(1)->param, "");
    EXPECT_EQ(store.EntryAt(1)->selectedCity, 0);
    EXPECT_EQ(store.EntryAt(-1), nullptr);
    EXPECT_EQ(store.EntryAt(2), nullptr);

    ASSERT_TRUE(store.Save());
    EXPECT_EQ(readText(dir.file("widgetlist.xml")),
              "<widgetlist>\n"
              "    <widget name=\"" +
                  kZurich +
                  "\" param=\"wc:1&amp;q=Z\" />\n"
                  "    <widget name=\"Name\" param=\"\" />\n"
                  "</widgetlist>\n");
    EXPECT_EQ(loaded().EntryAt(0)->selectedCity, 0);
}

TEST_F(WidgetListStoreTest, FollowsTheCitiesThroughAddsAndRemovals) {
    const std::string original =
        "<widgetlist><widget name=\"A\" param=\"a\" x=\"2\" /></widgetlist>";
    writeFile(dir.file("widgetlist.xml"), original);
    WidgetListStore store = loaded();

    store.OnJobStatus(status(STATUS_ADDED), 4);
    store.OnJobStatus(status(STATUS_REFRESHING), 4);
    store.OnJobStatus(removal(3), 3);
    EXPECT_EQ(readFile(dir.file("widgetlist.xml")), original) << "nothing moved";
    EXPECT_EQ(store.EntryAt(0)->selectedCity, 2);

    // A city in front of the followed one goes: the followed one moves up with the table.
    store.OnJobStatus(removal(0), 2);
    EXPECT_EQ(store.EntryAt(0)->selectedCity, 1);
    EXPECT_EQ(readFile(dir.file("widgetlist.xml")), original);

    store.OnJobStatus(removal(1), 1);
    EXPECT_EQ(store.EntryAt(0)->selectedCity, 0);
    EXPECT_NE(readFile(dir.file("widgetlist.xml")), original) << "the followed city went";

    test::writeFile(dir.file("widgetlist.xml"), original);
    store.OnJobStatus(removal(0), 0);
    EXPECT_EQ(store.EntryAt(0)->selectedCity, -1);
    EXPECT_NE(readFile(dir.file("widgetlist.xml")), original) << "the last city went";

    test::writeFile(dir.file("widgetlist.xml"), original);
    store.OnJobStatus(status(STATUS_ADDED), 1);
    EXPECT_EQ(store.EntryAt(0)->selectedCity, 0);
    EXPECT_NE(readFile(dir.file("widgetlist.xml")), original) << "the first city came";
}

}  // namespace
}  // namespace brisalune
