#include <gtest/gtest.h>

#include <climits>
#include <optional>

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

// What the files written from awkward content must look like, byte for byte: the layout and
// escaping users' files have always had. On Windows they are written in text mode.
std::string golden(const std::string& name) {
    std::string bytes = readFile(std::string(BRISALUNE_GOLDEN_DIR) + "/" + name);
#ifdef _WIN32
    std::string crlf;
    for (const char c : bytes) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    bytes = crlf;
#endif
    return bytes;
}

CityTable awkwardTable() {
    CityTable table;
    CityRecord zurich(0, kZurich, "wc:2657896&q=Z%c3%bcrich%2c+CHE", ORIGIN_USER);
    ForecastDay day = test::makeDay(-5, 12, 30, "Teilweise sonnig " + kReserved);
    day.alert = true;
    day.precip = "";
    zurich.addDay(day);
    zurich.addDay(test::makeDay(INT_MIN, INT_MAX, 47, "tab\there\nnew line\x7F\xFF"));
    table.append(std::move(zurich));
    table.append(CityRecord(1, kReserved, "wc:1&q=" + kReserved, ORIGIN_USER));
    CityRecord tokyo(2, "\xE6\x9D\xB1\xE4\xBA\xAC", "", ORIGIN_USER);
    for (const ForecastDay& each : test::makeDays(12, -3)) {
        tokyo.addDay(each);
    }
    tokyo.addDay(ForecastDay());
    table.append(std::move(tokyo));
    table.append(CityRecord(3, "", "\"only double\"", ORIGIN_USER));
    table.append(CityRecord(4, "'only single'", "&amp;#x41;", ORIGIN_USER));
    return table;
}

TEST(StoreFiles, WriteTheBytesTheyHaveAlwaysWrittenAndReadThemBack) {
    ScratchDir dir;
    CityListStore cities(dir.path());
    ASSERT_TRUE(cities.save(CityTable()));
    EXPECT_EQ(readText(dir.file("citylist.xml")), "<citylist />\n");

    const CityTable table = awkwardTable();
    ASSERT_TRUE(cities.save(table));
    EXPECT_EQ(readFile(dir.file("citylist.xml")), golden("citylist.xml"));
    CityTable loaded;
    cities.load(loaded);
    ASSERT_EQ(loaded.count(), table.count());
    for (int i = 0; i < table.count(); ++i) {
        EXPECT_EQ(loaded.at(i)->info.cityIndex, i);
        EXPECT_EQ(loaded.at(i)->info.status, -1);
        EXPECT_EQ(loaded.at(i)->info.origin, ORIGIN_USER);
        EXPECT_EQ(loaded.at(i)->info.name, table.at(i)->info.name);
        EXPECT_EQ(loaded.at(i)->info.param, table.at(i)->info.param);
        EXPECT_EQ(loaded.at(i)->days(), table.at(i)->days());
    }

    test::FakeRunEntry runEntry;
    SettingsStore settings("1", "", "3 & <4> \"x\" 'y'", "0");
    settings.attach(dir.path(), dir.path(), &runEntry);
    settings.Save();
    EXPECT_EQ(readFile(dir.file("settings.xml")), golden("settings.xml"));
    SettingsStore reread("0", "1", "3", "1");
    reread.attach(dir.path(), dir.path(), &runEntry);
    reread.Load();
    EXPECT_EQ(reread.values, settings.values);

    // The program never creates the widget list; it rewrites one it found.
    writeFile(dir.file("widgetlist.xml"),
              "<widgetlist><widget name=\"" + kZurich +
                  "\" param=\"a&amp;b&#x09;&lt;&gt;\" />"
                  "<widget name=\"&quot;&apos;\" param=\"\" /><widget name=\"x\" /></widgetlist>");
    WidgetListStore widgets(dir.path());
    widgets.Load();
    ASSERT_TRUE(widgets.Save());
    EXPECT_EQ(readFile(dir.file("widgetlist.xml")), golden("widgetlist.xml"));
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

// How the program has always read its files: what references become depends on the declared
// encoding, nothing is converted, and a file that breaks the rules is set aside whole.
TEST(CityListStore, ReadsEncodingsReferencesAndBrokenFilesAsItAlwaysHas) {
    const std::string city = "<citylist>\r\n<city name=\"";
    const std::string rest = "\" param=\"p\" />\r\n</citylist>\r\n";
    const struct {
        std::string file;
        std::optional<std::string> name;  // none: set aside as .bad
    } cases[] = {
        {city + "&#233;&#x4E2D;" + rest, "\xE9-"},  // no declaration: one byte each
        {"\xEF\xBB\xBF" + city + "&#233;&#x4E2D;" + rest, "\xC3\xA9\xE4\xB8\xAD"},
        {"<?xml version=\"1.0\"?>\r" + city + "&#233;" + rest, "\xC3\xA9"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>" + city +
             "Montr\xE9"
             "al &#233;" +
             rest,
         "Montr\xE9"
         "al \xE9"},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?>" + city + "\xE6\x9D\xB1&#x4E2D;" + rest,
         "\xE6\x9D\xB1\xE4\xB8\xAD"},
        {city + "a&b &foo; &lt;&gt;&amp;&quot;&apos;" + rest, "ab foo; <>&\"'"},
        {city + "two\r\nlines\ttab" + rest, "two\nlines\ttab"},
        {"<!-- mine --><citylist><?pi x?><city name=\"c\" param=\"p\"><![CDATA[<city>]]>"
         "<!-- <city name='x' param='y'/> --></city>text</citylist>",
         "c"},
        {"<citylist><city name=\"x\" param=\"p\" name=\"y\" /></citylist>", std::nullopt},
        {city + "&#12a;" + rest, std::nullopt},
        {city + "&#65" + rest, std::nullopt},
        {city + "&#X41;" + rest, std::nullopt},
        {"<citylist><city name=\"a\" param=\"p\"></citylist>", std::nullopt},
        {" \r\n\t", std::nullopt},
        {"", std::nullopt},  // nothing worth keeping: no copy
    };
    for (const auto& [file, name] : cases) {
        ScratchDir dir;
        writeFile(dir.file("citylist.xml"), file);
        writeFile(dir.file("citylist.xml.bad"), "an older copy");
        CityListStore store(dir.path());
        CityTable table;
        store.load(table);
        ASSERT_EQ(table.count(), name ? 1 : 0) << file;
        if (name) {
            EXPECT_EQ(table.at(0)->info.name, *name) << file;
            EXPECT_EQ(table.at(0)->info.param, "p") << file;
        }
        const std::string copy = name || file.empty() ? "an older copy" : file;
        EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), copy) << file;
        ASSERT_TRUE(store.save(table));
        EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), copy) << "saves leave the copy alone";
    }
}

TEST(CityListStore, SaveStoppedBeforeTheReplaceLeavesTheOldFileWhole) {
    ScratchDir dir;
    CityListStore store(dir.path());
    CityTable table = awkwardTable();
    ASSERT_TRUE(store.save(table));
    const std::string before = readFile(dir.file("citylist.xml"));

    table.removeAt(0);
    fileio::setBeforeReplaceHookForTests([](const std::string&) { return false; });
    EXPECT_FALSE(store.save(table));
    fileio::setBeforeReplaceHookForTests(nullptr);
    EXPECT_EQ(readFile(dir.file("citylist.xml")), before);

    CityTable loaded;
    store.load(loaded);
    EXPECT_EQ(loaded.count(), 5);

    // The next change writes the file as usual, over the abandoned temporary one.
    EXPECT_TRUE(store.save(table));
    CityTable reloaded;
    store.load(reloaded);
    EXPECT_EQ(reloaded.count(), 4);

    // Into a folder that is not there, a save fails quietly.
    EXPECT_FALSE(CityListStore(dir.file("no such folder")).save(table));
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    SettingsStore load() {
        SettingsStore store("0", "1", "3", "1");
        store.attach(dir.path(), kProgramDirectory, &runEntry);
        store.Load();
        return store;
    }

    static constexpr char kProgramDirectory[] = "C:\\Program Files\\Brisalune";
    ScratchDir dir;
    test::FakeRunEntry runEntry;
};

TEST_F(SettingsStoreTest, WithoutAReadableFileTheDefaultsStandAndNothingIsWritten) {
    EXPECT_EQ(load().values, (Settings{"0", "1", "3", "0"})) << "start on boot off: no entry";
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));
    EXPECT_EQ(runEntry.adds + runEntry.removes, 0);

    runEntry.present = true;
    for (const char* broken : {"<Settings><unit val=\"1\">", "<!-- no root element -->"}) {
        writeFile(dir.file("settings.xml"), broken);
        EXPECT_EQ(load().values, (Settings{"0", "1", "3", "1"})) << broken;
        EXPECT_EQ(readFile(dir.file("settings.xml.bad")), broken);
    }
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
    // The entry starts the program where it stands, wherever its settings are kept.
    EXPECT_EQ(runEntry.value, "\"C:\\Program Files\\Brisalune\\Brisalune.exe\" -s");
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

TEST_F(WidgetListStoreTest, LoadsByPosition) {
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
    EXPECT_EQ(loaded().EntryAt(0)->selectedCity, 0) << "the followed city is not written";
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
