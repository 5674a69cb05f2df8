// Real WinInet against the stand-in on 127.0.0.1; run through tools/with-fake-service.sh.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "FakeService.h"
#include "engine/HttpClient.h"
#include "engine/MsnSource.h"
#include "engine/RefreshLog.h"

namespace brisalune {
namespace {

using test::FakeService;
using Clock = std::chrono::steady_clock;

const std::string kPlace = "wc:5913490&q=Calgary%2c+CAN";
const std::string kWeatherPath = "/data.aspx?weadegreetype=F&wealocations=";
const std::string kException = "CInternetException * e";

// The text the reading rule makes of an answer, written out independently of the program's
// code: every line feed becomes CR LF, and a last line without one gets one.
std::string linesWithCrLf(const std::string& body) {
    std::string text;
    for (const char c : body) {
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return text + (!body.empty() && body.back() != '\n' ? "\r\n" : "");
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::control("reset");
    }

    std::string get(const std::string& url) { return HttpClient(log).Get(url); }
    std::string getWeather(const std::string& location) {
        return get(FakeService::baseUrl() + kWeatherPath + location);
    }
    std::string rawWeather(const std::string& location) {
        return FakeService::get(kWeatherPath + location);
    }
    // The one entry a broken-off read leaves, at most 254 characters of message after the
    // fixed word. Wine has a message for a reset connection but none for a receive time-out.
    void expectOneExceptionEntry(bool withMessage) {
        const std::string text = log.snapshot();
        ASSERT_EQ(text.compare(0, kException.size(), kException), 0) << text;
        EXPECT_EQ(text.find(kException, 1), std::string::npos) << "one append only: " << text;
        EXPECT_LE(text.size() - kException.size(), 254u * 3);
        if (withMessage) {
            EXPECT_GT(text.size(), kException.size() + 2) << text;
        }
    }

    RefreshLog log;
};

TEST_F(HttpClientTest, EveryAnswerComesBackByTheReadingRule) {
    ASSERT_NE(rawWeather(kPlace).find("<forecast"), std::string::npos) << "the stand-in answers";
    // CR LF lines come back with CR CR LF, zero bytes and any other byte are kept, error pages
    // and pages that are no XML come back as they are.
    for (const std::string& location :
         {kPlace, "crlf/" + kPlace, "nofinallf/" + kPlace, "longline:300000/" + kPlace,
          std::string("binary"), std::string("empty"), std::string("status:404"),
          "status:500/" + kPlace, std::string("html"), std::string("garbage")}) {
        EXPECT_EQ(getWeather(location), linesWithCrLf(rawWeather(location))) << location;
    }

    // A GET follows redirects of every kind.
    for (const std::string code : {"", ":307"}) {
        EXPECT_EQ(getWeather("redirect" + code + "/" + kPlace), linesWithCrLf(rawWeather(kPlace)));
    }
    EXPECT_EQ(FakeService::count("path", "/r/data.aspx"), 2);
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, AnswersUpToOneMebibyteComeBackWholeAndLargerOnesFail) {
    const std::string limit = "large:1048576/" + kPlace;
    const std::string large = getWeather(limit);
    EXPECT_EQ(large, linesWithCrLf(rawWeather(limit)));
    EXPECT_EQ(MsnSource::ParseForecast(large).size(), 5u) << "padding does not hide the days";
    EXPECT_EQ(log.snapshot(), "");

    EXPECT_EQ(getWeather("large:1048577/" + kPlace), "");
    EXPECT_EQ(log.snapshot(), kException + "The answer is larger than 1 MiB.");
}

TEST_F(HttpClientTest, UnreachableServersGiveEmptyTextAtOnceAndNoLog) {
    const auto start = Clock::now();
    EXPECT_EQ(get("http://127.0.0.1:" + std::to_string(FakeService::closedPort()) + "/x"), "");
    EXPECT_LT(secondsSince(start), 4.0) << "a refused connection is not waited for";
    EXPECT_EQ(get("http://no-such-host.invalid/data.aspx"), "");
    EXPECT_EQ(get("not a url"), "");
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, ABrokenOffOrStalledAnswerKeepsItsWholeLinesAndIsLoggedOnce) {
    const std::string raw = rawWeather(kPlace);
    // Every line that had arrived before the first 1500 bytes ended, nothing of the one after.
    const std::string before = linesWithCrLf(raw.substr(0, raw.rfind('\n', 1499) + 1));
    // The stand-in sends 1500 bytes, then resets the connection.
    EXPECT_EQ(getWeather("reset:1500/" + kPlace), before);
    expectOneExceptionEntry(true);

    // A clean close before the promised length reads as the end of the answer under Wine:
    // everything that came, its last piece of a line included, and nothing logged.
    log.clear();
    EXPECT_EQ(getWeather("truncate:1500/" + kPlace), linesWithCrLf(raw.substr(0, 1500)));
    EXPECT_EQ(log.snapshot(), "");

    // Past the read time-out in the middle of the body: the same as a reset.
    const auto start = Clock::now();
    EXPECT_EQ(getWeather("stallbody:8:1500/" + kPlace), before);
    EXPECT_GT(secondsSince(start), 4.0);
    expectOneExceptionEntry(false);
}

// What the comment dialog sends is checked with it; here the headers the site's script needs to
// read the form.
TEST_F(HttpClientTest, PostSendsAFormWithItsHeaders) {
    HttpClient client(log);
    client.AddField("a=b", "");
    client.Post(FakeService::baseUrl() + "/submit-brisalune.php");
    std::string posts = FakeService::control("posts");
    std::erase_if(posts, [](char c) { return c == ' ' || c == '\n'; });
    for (const char* expected :
         {R"(["Content-Type","application/x-www-form-urlencoded"])", R"(["Accept","*/*"])",
          R"(["User-Agent","Brisalune"])", R"("fields":[["a=b",""]])"}) {
        EXPECT_NE(posts.find(expected), std::string::npos) << expected << "\n" << posts;
    }
}

}  // namespace
}  // namespace brisalune
