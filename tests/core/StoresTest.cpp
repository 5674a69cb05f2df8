#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <tuple>

#include "TestSupport.h"
#include "model/Records.h"
#include "store/CityListStore.h"
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
    CityRecord moved(1, kReserved, "wc:1&q=" + kReserved, ORIGIN_USER);
    moved.info.source = ForecastSource::OpenMeteo;  // only a city that moved says so
    table.append(std::move(moved));
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
    // Read back whole: saved again, the list gives the same bytes.
    ASSERT_TRUE(cities.save(test::savedCities(dir.path())));
    EXPECT_EQ(readFile(dir.file("citylist.xml")), golden("citylist.xml"));

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
    writeFile(
        dir.file("citylist.xml"),
        "<?xml version=\"1.0\"?>\r\n<mine><city param=\"P\" name=\"N\"><forecast alert=\"1 \" "
        "low=\"x\" /></city><town a=\"skip\" b=\"me\" /><City a=\"skip\" b=\"me\" />"
        "<city only=\"one\" /><city a=\"Second\" b=\"wc:2\" c=\"ignored\"><note /><forecast "
        "alert=\"01\" high=\"9\" odd=\"z\" /><forecast alert=\"1\" /><forecast /></city></mine>");
    const CityTable table = test::savedCities(dir.path());
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(std::tie(table.at(0)->info.name, table.at(0)->info.param), std::tie("P", "N"));
    EXPECT_EQ(table.at(0)->days(), ForecastList{ForecastDay()});
    EXPECT_EQ(std::tie(table.at(1)->info.name, table.at(1)->info.cityIndex),
              std::make_tuple("Second", 1));
    ForecastDay high, alert;
    high.high = 9;
    alert.alert = true;
    EXPECT_EQ(table.at(1)->days(), (ForecastList{high, alert, ForecastDay()}));
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
        {"<?xml version='1.0' encoding='ISO-8859-1'?>" + city +
             "Montr\xE9"
             "al &#233;" +
             rest,
         "Montr\xE9"
         "al \xE9"},
        {city + "a&b &foo; &lt;&gt;&amp;&quot;&apos;" + rest, "ab foo; <>&\"'"},
        {city + "two\r\nlines\ttab" + rest, "two\nlines\ttab"},
        {"<!-- mine --><citylist><?pi x?><city name=\"c\" param=\"p\"><![CDATA[<city>]]>"
         "<!-- <city name='x' param='y'/> --></city>text</citylist>",
         "c"},
        {"<citylist><city name=\"x\" param=\"p\" name=\"y\" /></citylist>", std::nullopt},
        {city + "&#12a;" + rest, std::nullopt},
        {"<citylist><city name=\"a\" param=\"p\"></citylist>", std::nullopt},
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
            EXPECT_EQ(std::tie(table.at(0)->info.name, table.at(0)->info.param),
                      std::tie(*name, "p"));
        }
        const std::string copy = name || file.empty() ? "an older copy" : file;
        EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), copy) << file;
        ASSERT_TRUE(store.save(table));
        EXPECT_EQ(readFile(dir.file("citylist.xml.bad")), copy) << "saves leave the copy alone";
    }
}

// Without a readable file the defaults stand and nothing is written; attributes are read by
// element, the last one winning; the run entry starts the program where it stands, wherever its
// settings are kept.
TEST(SettingsStore, ReadsWhatItCanAndNamesTheProgramsOwnFolder) {
    ScratchDir dir;
    test::FakeRunEntry runEntry;
    const auto load = [&] {
        SettingsStore store("0", "1", "3", "1");
        store.attach(dir.path(), "C:\\Program Files\\Brisalune", &runEntry);
        store.Load();
        return store;
    };
    EXPECT_EQ(load().values, (Settings{"0", "1", "3", "0"})) << "start on boot off: no entry";
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));
    EXPECT_EQ(runEntry.adds + runEntry.removes, 0);

    runEntry.present = true;
    for (const char* broken : {"<Settings><unit val=\"1\">", "<!-- no root element -->"}) {
        writeFile(dir.file("settings.xml"), broken);
        EXPECT_EQ(load().values, (Settings{"0", "1", "3", "1"})) << broken;
        EXPECT_EQ(readFile(dir.file("settings.xml.bad")), broken);
    }
    writeFile(dir.file("settings.xml"),
              "<anything><unit val=\"1\" other=\"0\" /><timeval timeval=\"abc\" /><days />"
              "<Days days=\"9\" /><days days=\"5\" /><days days=\"1\" /></anything>");
    SettingsStore store = load();
    EXPECT_EQ(store.values, (Settings{"0", "abc", "1", "1"}));
    store.values.startonboot = "1";
    runEntry.present = false;
    store.Save();
    EXPECT_EQ(runEntry.value, "\"C:\\Program Files\\Brisalune\\Brisalune.exe\" -s");
}

// The list follows the city it shows through adds and removals, and is rewritten only when
// that city's position changes; without a file nothing is ever written.
TEST(WidgetListStore, FollowsItsCityAndIsWrittenOnlyWhenItMoves) {
    ScratchDir dir;
    const auto status = [](WidgetListStore& store, int position, int status, int count) {
        WeatherJob record(position, "A", "a", ORIGIN_USER);
        record.status = status;
        store.OnJobStatus(record, count);
    };
    WidgetListStore none(dir.path());
    none.Load();
    status(none, 0, STATUS_ADDED, 1);
    status(none, 0, STATUS_REMOVED, 0);
    EXPECT_FALSE(test::exists(dir.file("widgetlist.xml")));

    const std::string original =
        "<widgetlist><widget name=\"A\" param=\"a\" x=\"2\" /></widgetlist>";
    writeFile(dir.file("widgetlist.xml"), original);
    WidgetListStore store(dir.path());
    store.Load();
    const struct {
        int position, status, count, selected;
        bool rewritten;
    } steps[] = {
        {0, STATUS_ADDED, 4, 2, false},   {0, STATUS_REFRESHING, 4, 2, false},
        {3, STATUS_REMOVED, 3, 2, false}, {0, STATUS_REMOVED, 2, 1, false},  // moves up
        {1, STATUS_REMOVED, 1, 0, true},                                     // the followed city
        {0, STATUS_REMOVED, 0, -1, true},                                    // the last city
        {0, STATUS_ADDED, 1, 0, true},                                       // the first city
    };
    for (const auto& [position, state, count, selected, rewritten] : steps) {
        status(store, position, state, count);
        EXPECT_EQ(store.EntryAt(0)->selectedCity, selected) << position << " " << state;
        EXPECT_EQ(readFile(dir.file("widgetlist.xml")) != original, rewritten) << selected;
        writeFile(dir.file("widgetlist.xml"), original);
    }
}

}  // namespace
}  // namespace brisalune
