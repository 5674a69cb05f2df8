#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <random>

#include "base/XmlFile.h"
#include "engine/HttpText.h"
#include "engine/JobQueue.h"
#include "engine/MsnSource.h"
#include "engine/NetworkWorker.h"

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

TEST(ParseForecast, ReadsOnlyTheFirstSecondLevelElementsForecastsByExactNames) {
    // alert, low, high, skycodeday, skytextday, date, day, shortday, precip
    const ForecastList expected = {
        {false, 14, 28, 28, "Mostly Cloudy", "2026-12-05", "Saturday", "Sat", ""},
        {false, 15, 30, 30, "Partly Sunny", "2026-12-06", "Sunday", "Sun", "10"},
        {false, 9, 22, 16, "Snow", "2026-12-07", "Monday", "Mon", "80"},
        {false, 3, 18, 26, "Cloudy", "2026-12-08", "Tuesday", "Tue", "20"},
        {false, -2, 12, 32, "Sunny", "2026-12-09", "Wednesday", "Wed", "0"},
    };
    const std::pair<std::string, ForecastList> cases[] = {
        // Every forecast in document order and nothing of current, also as the HTTP client
        // hands over an answer with CR LF lines.
        {kAnswer, expected},
        {answerText(answerText(kAnswer)), expected},
        {"<w><a><forecast low='1'/></a><b><forecast low='2'/></b></w>",
         {{false, 1, 0, 0, "", "", "", "", ""}}},
        {"<w><weather><Forecast low='5'/><FORECAST/><forecast LOW='7' low='8' Date='x'/>"
         "<current><forecast low='9'/></current><forecasts/></weather></w>",
         {{false, 8, 0, 0, "", "", "", "", ""}}},
        // Without attributes a zero day, still added; numbers are read as far as they go and
        // saturate; the parser never sets the alert.
        {"<w><x><forecast/><forecast low='-5' high='12.7' skycodeday='abc' alert='1'/>"
         "<forecast low=' +7' high='99999999999999' skycodeday='-99999999999999'/></x></w>",
         {{},
          {false, -5, 12, 0, "", "", "", "", ""},
          {false, 7, INT_MAX, INT_MIN, "", "", "", "", ""}}},
        // Entities are read; how references become text is the city list's reader's test.
        {"<w><x><forecast skytextday='Rain &amp; &lt;heavy&gt;'/></x></w>",
         {{false, 0, 0, 0, "Rain & <heavy>", "", "", "", ""}}},
        // Anything but a forecast document gives no days.
        {"<w><forecast low='1'/></w>", {}},
        {"", {}},
        {"<html><head><title>500</title></head><body><p>Oops<br></body></html>\r\n", {}},
        {"<weatherdata><weather errormessage=\"Location not found\"/></weatherdata>", {}},
        {"<weatherdata><weather><forecast low='1'/>", {}},
        {std::string("\xFF\xFE<\0w\0>\0", 8), {}},  // UTF-16, which is not read
    };
    for (const auto& [answer, days] : cases) {
        EXPECT_EQ(MsnSource::ParseForecast(answer), days) << answer.substr(0, 300);
    }
}

std::string repeated(const std::string& piece, size_t times) {
    std::string text;
    while (times-- > 0) {
        text += piece;
    }
    return text;
}

// Answers that once crashed or hung the worker, parsed on a real worker thread (created as the
// program creates it, so with the stack every download gets): each gives its days or none.
TEST(HostileAnswers, GiveTheirDaysOrNoneOnTheWorkersStack) {
    const std::string head = "<?xml version=\"1.0\"?><w><x><forecast low='1'/>";
    const std::string tail = "</x></w>";
    std::string attributes;
    for (int i = 0; i < 200000; ++i) {
        attributes += "a" + std::to_string(i) + "='' ";
    }
    const struct {
        std::string name;
        std::string answer;
        size_t days;
    } cases[] = {
        // Hidden closing tags inside declarations once let nesting past a depth guard.
        {"declaration trick", head + repeated("<a><?xml version=\"></a>\"?>", 200000), 0},
        {"a million levels", head + repeated("<a>", 1000000) + repeated("</a>", 1000000) + tail, 1},
        {"a million unclosed levels", head + repeated("<a>", 1000000), 0},
        {"a million forecasts", head + repeated("<forecast/>", 1000000) + tail,
         MsnSource::kMaxDays},
        {"huge attribute", head + "<forecast day='" + std::string(900000, 'x') + "'/>" + tail, 2},
        {"200,000 attributes", head + "<forecast " + attributes + "/>" + tail, 2},
        {"invalid UTF-8", head + "<forecast day='\xC3' date='\xFF\xFE\xE9\x80'/>" + tail, 2},
        {"entity expansion",
         "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
         "<!ENTITY d SYSTEM \"file:///etc/passwd\">]><w><x><forecast day='&c;&d;'/>" +
             tail,
         1},
    };
    JobQueue queue;
    std::map<std::string, ForecastList> results;
    NetworkWorker worker(
        queue,
        [&](const std::string& param) {
            return MsnSource::ParseForecast(cases[std::stoi(param)].answer);
        },
        [&](std::unique_ptr<WeatherJob> job, ForecastList days) { results[job->name] = days; });
    worker.Start();
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto job = std::make_unique<WeatherJob>(0, cases[i].name, std::to_string(i), ORIGIN_USER);
        job->kind = JOB_FETCH;
        queue.Push(std::move(job));
    }
    worker.Stop();
    for (const auto& each : cases) {
        EXPECT_EQ(results[each.name].size(), each.days) << each.name;
    }
    EXPECT_EQ(results["huge attribute"][1].day.size(), 900000u);
    EXPECT_EQ(results["invalid UTF-8"][1].date, "\xFF\xFE\xE9\x80") << "bytes as they came";
    EXPECT_EQ(results["entity expansion"][0].day, "c;d;") << "no entity is expanded or fetched";
}

// Mutated answers, under the sanitizers: the reader never crashes, and the days are the
// forecasts of the second level as a plain walk of the parsed document counts them.
TEST(ParseForecastRandomised, MutatedAnswersNeverCrashAndGiveASaneList) {
    std::mt19937 random(424242);
    auto pick = [&](size_t below) {
        return std::uniform_int_distribution<size_t>(0, below - 1)(random);
    };
    // Slices of this are inserted: pieces of markup, references, a broken UTF-8 lead byte.
    const std::string syntax =
        "<?xml encoding='latin1'?><!-- ]]> &#x4E2D; &# &amp; \"\xC3' /> <forecast low='3'/>";
    int parsed = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = pick(2) ? kAnswer : answerText(kAnswer);
        for (size_t m = 1 + pick(2); m > 0 && !text.empty(); --m) {
            const size_t at = pick(text.size());
            const size_t span = std::min<size_t>(text.size() - at, 1 + pick(30));
            const size_t kind = pick(3);
            const std::string piece = kind == 0   ? std::string(1, static_cast<char>(pick(256)))
                                      : kind == 1 ? syntax.substr(pick(syntax.size()), 1 + pick(12))
                                                  : "";
            text = text.substr(0, at) + piece + text.substr(at + (kind == 1 ? 0 : span));
        }
        size_t count = 0;
        pugi::xml_document document;
        if (parseXmlText(text, document)) {
            ++parsed;
            const pugi::xml_node second = document.document_element().find_child(
                [](const pugi::xml_node& node) { return node.type() == pugi::node_element; });
            for (pugi::xml_node e = second.child("forecast"); e; e = e.next_sibling("forecast")) {
                ++count;
            }
        }
        ASSERT_EQ(MsnSource::ParseForecast(text).size(), std::min(count, MsnSource::kMaxDays))
            << "round " << round << "\n"
            << text;
    }
    // Both kinds of answer were met, or the test proved little.
    EXPECT_GT(parsed, 400);
    EXPECT_LT(parsed, 3600);
}

}  // namespace
}  // namespace brisalune
