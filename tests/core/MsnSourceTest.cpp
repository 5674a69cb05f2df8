#include <gtest/gtest.h>
#include <tinyxml.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <random>

#include "engine/HttpText.h"
#include "engine/MsnSource.h"
#include "store/XmlFile.h"

namespace brisalune {
namespace {

// An answer as the service sends it: `current`, five days (yesterday's without a chance of
// rain), and the toolbar.
const std::string kAnswer = R"(<?xml version="1.0"?>
<weatherdata xmlns:xsd="http://www.w3.org/2001/XMLSchema">
  <weather weatherlocationname="Calgary, AB" degreetype="F" alert="">
    <current temperature="25" skycode="30" skytext="Partly Sunny" date="2026-12-06" day="Sunday"/>
    <forecast low="14" high="28" skycodeday="28" skytextday="Mostly Cloudy" date="2026-12-05" day="Saturday" shortday="Sat" precip=""/>
    <forecast low="15" high="30" skycodeday="30" skytextday="Partly Sunny" date="2026-12-06" day="Sunday" shortday="Sun" precip="10"/>
    <forecast low="9" high="22" skycodeday="16" skytextday="Snow" date="2026-12-07" day="Monday" shortday="Mon" precip="80"/>
    <forecast low="3" high="18" skycodeday="26" skytextday="Cloudy" date="2026-12-08" day="Tuesday" shortday="Tue" precip="20"/>
    <forecast low="-2" high="12" skycodeday="32" skytextday="Sunny" date="2026-12-09" day="Wednesday" shortday="Wed" precip="0"/>
    <toolbar timewindow="60" minversion="1.0.1965.0"/>
  </weather>
</weatherdata>
)";

ForecastDay day(int low, int high, int sky, std::string text, std::string date, std::string name,
                std::string shortName, std::string precip) {
    ForecastDay d;
    d.low = low;
    d.high = high;
    d.skycodeday = sky;
    d.skytextday = std::move(text);
    d.date = std::move(date);
    d.day = std::move(name);
    d.shortday = std::move(shortName);
    d.precip = std::move(precip);
    return d;
}

TEST(ParseForecast, ReadsEveryForecastInDocumentOrderAndNothingOfCurrent) {
    const ForecastList days = MsnSource::ParseForecast(kAnswer);
    const ForecastList expected = {
        day(14, 28, 28, "Mostly Cloudy", "2026-12-05", "Saturday", "Sat", ""),
        day(15, 30, 30, "Partly Sunny", "2026-12-06", "Sunday", "Sun", "10"),
        day(9, 22, 16, "Snow", "2026-12-07", "Monday", "Mon", "80"),
        day(3, 18, 26, "Cloudy", "2026-12-08", "Tuesday", "Tue", "20"),
        day(-2, 12, 32, "Sunny", "2026-12-09", "Wednesday", "Wed", "0"),
    };
    EXPECT_EQ(days, expected);
    // The text the HTTP client makes of a CR LF answer parses the same.
    std::string crlf;
    for (const char c : kAnswer) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(MsnSource::ParseForecast(answerText(crlf)), expected);
}

TEST(ParseForecast, OnlyTheFirstSecondLevelElementAndOnlyExactNamesCount) {
    EXPECT_EQ(MsnSource::ParseForecast("<w><a><forecast low='1'/></a>"
                                       "<b><forecast low='2'/><forecast low='3'/></b></w>")
                  .size(),
              1u);
    // Names are compared exactly; elements one level deeper are not days.
    const ForecastList days = MsnSource::ParseForecast(
        "<w><weather><Forecast low='5'/><FORECAST/><forecast LOW='7' low='8' Date='x'/>"
        "<current><forecast low='9'/></current><forecasts/></weather></w>");
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].low, 8);
    EXPECT_EQ(days[0].date, "");
    // A document whose second level is itself named forecast: its children are walked.
    EXPECT_TRUE(MsnSource::ParseForecast("<w><forecast low='1'/></w>").empty());
}

TEST(ParseForecast, MissingAndOddAttributesGiveDefaultsAndLeadingNumbers) {
    ForecastList days = MsnSource::ParseForecast("<w><x><forecast/></x></w>");
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0], ForecastDay()) << "no attributes: a zero day, still added";

    days = MsnSource::ParseForecast(
        "<w><x>"
        "<forecast low='-5' high='12.7' skycodeday='abc'/>"
        "<forecast low=' +7' high='99999999999999' skycodeday='-99999999999999'/>"
        "<forecast low='' high='0x1F' skycodeday='47' alert='yes'/>"
        "</x></w>");
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].low, -5);
    EXPECT_EQ(days[0].high, 12) << "a fraction is cut at the point";
    EXPECT_EQ(days[0].skycodeday, 0) << "letters give 0";
    EXPECT_EQ(days[1].low, 7);
    EXPECT_EQ(days[1].high, INT_MAX) << "huge numbers saturate instead of wrapping";
    EXPECT_EQ(days[1].skycodeday, INT_MIN);
    EXPECT_EQ(days[2].low, 0);
    EXPECT_EQ(days[2].high, 0);
    EXPECT_EQ(days[2].skycodeday, 47);
    EXPECT_FALSE(days[2].alert) << "the parser never sets the alert";
}

TEST(ParseForecast, AnythingButAForecastDocumentGivesNoDays) {
    const char* const answers[] = {
        "",
        "\r\n",
        "<html><head><title>500 Internal Server Error</title></head><body><p>Oops<br></body>"
        "</html>\r\n",
        "<?xml version=\"1.0\"?>\r\n<weatherdata/>\r\n",
        "<weatherdata>just text</weatherdata>",
        "<weatherdata><weather errormessage=\"Location not found\"/></weatherdata>",
        "<weatherdata><weather><current skycode='3'/><toolbar/></weather></weatherdata>",
        "<weatherdata><weather><forecast low='1'/>",  // cut off midway
        "Service Unavailable\r\n",
        "\xFF\xFE<\0w\0>\0",  // UTF-16, which the parser does not read
    };
    for (const char* answer : answers) {
        EXPECT_TRUE(MsnSource::ParseForecast(answer).empty()) << answer;
    }
}

TEST(ParseForecast, TextsArriveInTheAnswersOwnEncodingWithEntitiesResolved) {
    const std::string utf8 =
        "<?xml version=\"1.0\"?><w><x>"
        "<forecast skytextday='Rain &amp; Snow &lt;heavy&gt;' day='\xD0\xB2\xD0\xBE\xD1\x81' "
        "shortday='&#233;t&#xE9;' date='\xE6\x9D\xB1\xE4\xBA\xAC' precip='&quot;5&apos;'/>"
        "</x></w>";
    for (const std::string& text : {utf8, "\xEF\xBB\xBF" + utf8}) {
        const ForecastList days = MsnSource::ParseForecast(text);
        ASSERT_EQ(days.size(), 1u);
        EXPECT_EQ(days[0].skytextday, "Rain & Snow <heavy>");
        EXPECT_EQ(days[0].day, "\xD0\xB2\xD0\xBE\xD1\x81");
        EXPECT_EQ(days[0].shortday, "\xC3\xA9t\xC3\xA9") << "character references as UTF-8";
        EXPECT_EQ(days[0].date, "\xE6\x9D\xB1\xE4\xBA\xAC");
        EXPECT_EQ(days[0].precip, "\"5'");
    }
    // A document declared in another encoding is not converted: its bytes come through as
    // they are, and a character reference becomes one byte of that encoding.
    const ForecastList latin = MsnSource::ParseForecast(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
        "<w><x><forecast skytextday='Montr\xE9"
        "al' day='&#233;'/></x></w>");
    ASSERT_EQ(latin.size(), 1u);
    EXPECT_EQ(latin[0].skytextday,
              "Montr\xE9"
              "al");
    EXPECT_EQ(latin[0].day, "\xE9");
    // So does one without a declaration, whose encoding the parser does not know.
    const ForecastList bare = MsnSource::ParseForecast("<w><x><forecast day='&#233;'/></x></w>");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].day, "\xE9");
}

TEST(ParseForecast, AnAnswerNestedThousandsDeepIsRefusedNotParsed) {
    std::string deep = "<w><x><forecast low='1'/>";
    for (int i = 0; i < 200000; ++i) {
        deep += "<a>";
    }
    EXPECT_TRUE(MsnSource::ParseForecast(deep).empty());
    // Depth that real documents may have, with '<' and '>' inside quoted values, still reads.
    std::string nested = "<w><x><forecast low='4' skytextday='a > b'/><y>";
    for (int i = 0; i < 100; ++i) {
        nested += "<a v='>'><!-- <b> --><![CDATA[<c>]]>";
    }
    for (int i = 0; i < 100; ++i) {
        nested += "</a>";
    }
    nested += "</y></x></w>";
    const ForecastList days = MsnSource::ParseForecast(nested);
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].skytextday, "a > b");
}

void setWeatherUrl(const char* value) {
#ifdef _WIN32
    _putenv_s("BRISALUNE_WEATHER_URL", value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv("BRISALUNE_WEATHER_URL", value, 1);
    } else {
        unsetenv("BRISALUNE_WEATHER_URL");
    }
#endif
}

TEST(RequestUrl, TheParameterIsAppendedAsItIsAndTheHostCanBeReplaced) {
    const char* before = std::getenv("BRISALUNE_WEATHER_URL");
    const std::optional<std::string> saved =
        before != nullptr ? std::optional<std::string>(before) : std::nullopt;
    const std::string param = "wc:8604674&amp;q=Encamp%2c+AND";

    setWeatherUrl(nullptr);
    EXPECT_EQ(MsnSource::RequestUrl(param),
              "http://weather.service.msn.com/data.aspx?weadegreetype=F&wealocations=" + param);
    setWeatherUrl("http://127.0.0.1:8123");
    EXPECT_EQ(MsnSource::RequestUrl(param),
              "http://127.0.0.1:8123/data.aspx?weadegreetype=F&wealocations=" + param);
    setWeatherUrl("http://127.0.0.1:8123/");
    EXPECT_EQ(MsnSource::RequestUrl("x"),
              "http://127.0.0.1:8123/data.aspx?weadegreetype=F&wealocations=x");

    setWeatherUrl(saved ? saved->c_str() : nullptr);
}

// ---- Randomised answers -------------------------------------------------------------------

struct Value {
    std::string xml;  // as written in the attribute
    int number;       // what a numeric field makes of it
};

const Value kNumbers[] = {
    {"45", 45},
    {"-5", -5},
    {"12.7", 12},
    {"abc", 0},
    {"", 0},
    {" 7", 7},
    {"+3", 3},
    {"0x1F", 0},
    {"2147483647", INT_MAX},
    {"-2147483648", INT_MIN},
    {"99999999999999999999999", INT_MAX},
    {"-99999999999999999999999", INT_MIN},
};

const std::pair<std::string, std::string> kTexts[] = {
    {"Sunny", "Sunny"},
    {"", ""},
    {"Rain &amp; Snow", "Rain & Snow"},
    {"&lt;b&gt;&quot;&apos;", "<b>\"'"},
    {"&#233;t&#xE9;", "\xC3\xA9t\xC3\xA9"},
    {"\xD0\x9B\xD0\xB8\xD0\xB2\xD0\xBD\xD0\xB8", "\xD0\x9B\xD0\xB8\xD0\xB2\xD0\xBD\xD0\xB8"},
    {"\xE6\x99\xB4 2026-12-05", "\xE6\x99\xB4 2026-12-05"},
};

// Builds a random but well-formed answer and the days it must give.
class AnswerMaker {
public:
    explicit AnswerMaker(uint32_t seed) : random_(seed) {}

    std::string make(ForecastList& expected) {
        expected.clear();
        const char* end = pick(2) ? "\r\n" : "\n";
        std::string text;
        utf8_ = false;
        if (pick(4) == 0) {
            text += "\xEF\xBB\xBF";
            utf8_ = true;
        }
        if (pick(3) != 0) {
            text += std::string("<?xml version=\"1.0\"") + (pick(2) ? " encoding=\"utf-8\"" : "") +
                    "?>" + end;
            utf8_ = true;
        }
        if (pick(4) == 0) {
            text += std::string("<!-- a comment before the root -->") + end;
        }
        text += std::string("<weatherdata a=\"1\">") + end;
        text += std::string("  <weather weatherlocationname=\"X\">") + end;
        const int elements = pick(14);
        for (int i = 0; i < elements; ++i) {
            switch (pick(8)) {
                case 0:
                    text += "    <current skycode=\"3\"><forecast low=\"99\"/></current>";
                    break;
                case 1:
                    text += "    <toolbar timewindow=\"60\"/>";
                    break;
                case 2:
                    text += "    <Forecast low=\"1\"/><!-- <forecast low=\"2\"/> -->";
                    break;
                default:
                    text += "    " + forecast(expected);
                    break;
            }
            text += end;
        }
        text += std::string("  </weather>") + end;
        if (pick(3) == 0) {
            text += std::string("  <weather><forecast low=\"1\"/></weather>") + end;
        }
        text += "</weatherdata>";
        if (pick(2)) {
            text += end;
        }
        return text;
    }

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
    std::mt19937& random() { return random_; }

private:
    std::string forecast(ForecastList& expected) {
        ForecastDay d;
        std::vector<std::string> attributes;
        const char quote = pick(2) ? '"' : '\'';
        auto attribute = [&](const std::string& name, const std::string& xml) {
            attributes.push_back(name + "=" + quote + xml + quote);
        };
        auto number = [&](const char* name, int32_t& field) {
            if (pick(5) != 0) {
                const Value& value = kNumbers[pick(std::size(kNumbers))];
                attribute(name, value.xml);
                field = value.number;
            }
        };
        auto text = [&](const char* name, std::string& field) {
            if (pick(5) != 0) {
                const auto& value = kTexts[pick(std::size(kTexts))];
                attribute(name, value.first);
                field = value.second;
                if (!utf8_ && value.first.find("&#") != std::string::npos) {
                    // Without a declaration or a byte-order mark the parser does not know the
                    // encoding, and a character reference becomes a single byte.
                    field = "\xE9t\xE9";
                }
            }
        };
        number("low", d.low);
        number("high", d.high);
        number("skycodeday", d.skycodeday);
        text("skytextday", d.skytextday);
        text("date", d.date);
        text("day", d.day);
        text("shortday", d.shortday);
        text("precip", d.precip);
        if (pick(3) == 0) {
            attribute("HIGH", "1000");
        }
        if (pick(3) == 0) {
            attribute("alert", "yes");
        }
        std::shuffle(attributes.begin(), attributes.end(), random_);
        std::string element = "<forecast";
        for (const std::string& a : attributes) {
            element += (pick(4) == 0 ? "\n\t" : " ") + a;
        }
        element += pick(2) ? "/>" : "></forecast>";
        expected.push_back(d);
        return element;
    }

    std::mt19937 random_;
    bool utf8_ = false;
};

// The number of days a parsed document holds, read independently of the parser under test.
std::optional<size_t> forecastsOnSecondLevel(const std::string& text) {
    TiXmlDocument document;
    if (!parseXmlText(text, document)) {
        return std::nullopt;
    }
    size_t count = 0;
    TiXmlHandle second = TiXmlHandle(document.RootElement()).FirstChildElement();
    for (TiXmlElement* e = second.FirstChildElement("forecast").ToElement(); e != nullptr;
         e = e->NextSiblingElement("forecast")) {
        ++count;
    }
    return count;
}

TEST(ParseForecastRandomised, WellFormedAnswersGiveExactlyTheirDays) {
    AnswerMaker maker(20261206);
    for (int round = 0; round < 3000; ++round) {
        ForecastList expected;
        const std::string text = maker.make(expected);
        ASSERT_EQ(MsnSource::ParseForecast(text), expected) << "round " << round << "\n" << text;
    }
}

TEST(ParseForecastRandomised, MutatedAnswersNeverCrashAndGiveASaneList) {
    AnswerMaker maker(424242);
    int parsed = 0;
    int rejected = 0;
    for (int round = 0; round < 4000; ++round) {
        ForecastList unused;
        std::string text = maker.make(unused);
        const int mutations = 1 + maker.pick(4);
        for (int m = 0; m < mutations && !text.empty(); ++m) {
            const size_t at = maker.pick(static_cast<int>(text.size()));
            const size_t span = std::min<size_t>(text.size() - at, 1 + maker.pick(120));
            switch (maker.pick(6)) {
                case 0:  // flip a byte
                    text[at] = static_cast<char>(maker.pick(256));
                    break;
                case 1:  // cut off
                    text.resize(at);
                    break;
                case 2:  // a stretch twice
                    text.insert(at, text.substr(at, span));
                    break;
                case 3:  // a stretch gone
                    text.erase(at, span);
                    break;
                case 4:  // a huge number
                    text.insert(at, "99999999999999999999999999999999");
                    break;
                default: {  // a whole line (an element) twice or gone
                    const size_t start = text.rfind('\n', at);
                    const size_t from = start == std::string::npos ? 0 : start + 1;
                    const size_t stop = text.find('\n', at);
                    const size_t to = stop == std::string::npos ? text.size() : stop + 1;
                    const std::string line = text.substr(from, to - from);
                    if (maker.pick(2)) {
                        text.insert(from, line);
                    } else {
                        text.erase(from, to - from);
                    }
                    break;
                }
            }
        }
        const ForecastList days = MsnSource::ParseForecast(text);
        const std::optional<size_t> count = forecastsOnSecondLevel(text);
        ASSERT_EQ(days.size(), count.value_or(0)) << "round " << round << "\n" << text;
        count ? ++parsed : ++rejected;
    }
    // Both kinds of answer were met, or the test proved little.
    EXPECT_GT(parsed, 400);
    EXPECT_GT(rejected, 400);
}

}  // namespace
}  // namespace brisalune
