// Real WinInet against the stand-in on 127.0.0.1; run through tools/with-fake-service.sh.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "FakeService.h"
#include "engine/HttpClient.h"
#include "engine/MsnSource.h"
#include "engine/RefreshLog.h"

namespace brisalune {
namespace {

using test::FakeService;
using test::linesWithCrLf;
using Clock = std::chrono::steady_clock;

const std::string kPlace = "wc:5913490&q=Calgary%2c+CAN";

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::reset();
    }

    std::string get(const std::string& url) { return HttpClient(log).Get(url); }
    std::string getWeather(const std::string& location) {
        return get(FakeService::weatherUrl(location));
    }
    // The answer exactly as the stand-in sends it for a well-behaved request.
    std::string rawWeather(const std::string& location) {
        return FakeService::get(FakeService::weatherPath(location));
    }
    // The one entry a broken-off read leaves, split into its fixed word and the message.
    // Wine has a message for a reset connection but none for a receive time-out.
    void expectOneExceptionEntry(bool withMessage) {
        const std::string text = log.snapshot();
        const std::string word = "CInternetException * e";
        ASSERT_EQ(text.compare(0, word.size(), word), 0) << text;
        EXPECT_EQ(text.find(word, word.size()), std::string::npos) << "one append only: " << text;
        EXPECT_LE(text.size() - word.size(), 254u * 3) << "at most 254 characters of message";
        if (withMessage) {
            EXPECT_GT(text.size(), word.size() + 2) << text;
        }
    }
    // Every line that had arrived before the answer broke off after `cut` bytes, and nothing
    // of the line it broke off in.
    static std::string linesBefore(const std::string& raw, size_t cut) {
        return linesWithCrLf(raw.substr(0, raw.rfind('\n', cut - 1) + 1));
    }

    RefreshLog log;
};

TEST_F(HttpClientTest, EveryLineComesBackWithCrLfWhateverTheServerSent) {
    const std::string plain = rawWeather(kPlace);
    ASSERT_NE(plain.find("<forecast"), std::string::npos) << "the stand-in answers";
    EXPECT_EQ(getWeather(kPlace), linesWithCrLf(plain));

    const std::string crlf = getWeather("crlf/" + kPlace);
    EXPECT_NE(crlf.find("<weatherdata"), std::string::npos);
    EXPECT_NE(crlf.find("\r\r\n"), std::string::npos);
    EXPECT_EQ(crlf, linesWithCrLf(rawWeather("crlf/" + kPlace)));

    const std::string noFinal = getWeather("nofinallf/" + kPlace);
    const std::string noFinalRaw = rawWeather("nofinallf/" + kPlace);
    ASSERT_NE(noFinalRaw.back(), '\n');
    EXPECT_EQ(noFinal, linesWithCrLf(noFinalRaw));
    EXPECT_EQ(noFinal.substr(noFinal.size() - 16), "</weatherdata>\r\n");

    // Zero bytes and bytes of any value are kept.
    const std::string binary = getWeather("binary");
    EXPECT_EQ(binary, linesWithCrLf(rawWeather("binary")));
    EXPECT_NE(binary.find('\0'), std::string::npos);

    EXPECT_EQ(getWeather("empty"), "");
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, LargeAnswersAndLongLinesComeBackWhole) {
    const std::string large = getWeather("large/" + kPlace);
    EXPECT_EQ(large, linesWithCrLf(rawWeather("large/" + kPlace)));
    EXPECT_GT(large.size(), 5000000u);
    EXPECT_EQ(MsnSource::ParseForecast(large).size(), 5u) << "padding does not hide the days";

    const std::string longLine = getWeather("longline:300000/" + kPlace);
    EXPECT_EQ(longLine, linesWithCrLf(rawWeather("longline:300000/" + kPlace)));
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, ErrorStatusAndNonXmlAnswersComeBackAsTheirBodies) {
    for (const std::string& location :
         std::vector<std::string>{"status:404", "status:500/" + kPlace, "html", "garbage"}) {
        const std::string text = getWeather(location);
        EXPECT_FALSE(text.empty()) << location;
        EXPECT_EQ(text, linesWithCrLf(rawWeather(location))) << location;
        EXPECT_TRUE(MsnSource::ParseForecast(text).empty()) << location;
    }
    const test::RawAnswer missing = FakeService::raw("GET", "/no/such/page");
    ASSERT_EQ(missing.status, 404);
    EXPECT_EQ(get(FakeService::baseUrl() + "/no/such/page"), linesWithCrLf(missing.body));
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, GetFollowsRedirects) {
    for (const std::string code : {"", ":301", ":307"}) {
        const std::string text = getWeather("redirect" + code + "/" + kPlace);
        EXPECT_EQ(text.find("Redirect answer"), std::string::npos) << code;
        EXPECT_EQ(MsnSource::ParseForecast(text), MsnSource::ParseForecast(rawWeather(kPlace)))
            << code;
    }
    EXPECT_EQ(FakeService::countForPath("/r/data.aspx"), 3);
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, UnreachableServersGiveEmptyTextAtOnceAndNoLog) {
    const auto start = Clock::now();
    EXPECT_EQ(get("http://127.0.0.1:" + std::to_string(FakeService::closedPort()) + "/x"), "");
    EXPECT_LT(secondsSince(start), 4.0) << "a refused connection is not waited for";

    const auto resolve = Clock::now();
    EXPECT_EQ(get("http://no-such-host.invalid/data.aspx"), "");
    EXPECT_LT(secondsSince(resolve), 30.0);

    EXPECT_EQ(get("not a url"), "");
    EXPECT_EQ(get(""), "");
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, AnAnswerCutOffMidwayKeepsItsWholeLinesAndIsLoggedOnce) {
    const std::string raw = rawWeather(kPlace);
    const std::string whole = linesWithCrLf(raw);
    // The stand-in sends 1500 bytes, then resets the connection.
    const std::string text = getWeather("reset:1500/" + kPlace);
    EXPECT_EQ(text, linesBefore(raw, 1500));
    EXPECT_LT(text.size(), whole.size());
    EXPECT_TRUE(MsnSource::ParseForecast(text).empty());
    expectOneExceptionEntry(true);

    // A clean close before the promised length reads as the end of the answer under Wine:
    // everything that came, its last piece of a line included, and nothing logged.
    log.clear();
    EXPECT_EQ(getWeather("truncate:1500/" + kPlace), linesWithCrLf(raw.substr(0, 1500)));
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, ABodyThatStallsPastTheTimeOutKeepsItsWholeLinesAndIsLoggedOnce) {
    const std::string raw = rawWeather(kPlace);
    const std::string whole = linesWithCrLf(raw);
    const auto start = Clock::now();
    const std::string text = getWeather("stallbody:8:1500/" + kPlace);
    const double seconds = secondsSince(start);
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(text, linesBefore(raw, 1500));
    EXPECT_LT(text.size(), whole.size());
    expectOneExceptionEntry(false);
}

TEST_F(HttpClientTest, AServerThatNeverAnswersGivesEmptyTextAfterTheTimeOut) {
    const auto start = Clock::now();
    EXPECT_EQ(getWeather("stall:9/" + kPlace), "");
    const double seconds = secondsSince(start);
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(log.snapshot(), "") << "a failed send is not a failed read";
}

TEST_F(HttpClientTest, PostSendsTheFieldsInOrderEncodedAndWithTheTrailingZeroByte) {
    HttpClient client(log);
    client.AddField("name", "Ann & Bob");
    client.AddField("comment", "50% = half; tr\xC3\xA8s bien");
    client.AddField("a=b", "");
    const std::string answer = client.Post(FakeService::baseUrl() + "/submit-brisalune.php");
    EXPECT_EQ(answer, "Thank you! Your comment has been received.\r\n");
    EXPECT_EQ(client.status(), 200);
    EXPECT_EQ(
        FakeService::lastPostBody(),
        std::string("name=Ann+%26+Bob&comment=50%25+%3D+half%3B+tr%C3%A8s+bien&a%3Db=&") + '\0');

    // The stand-in's own reading of the form (blanks dropped here, bytes read as Latin-1 and
    // shown as UTF-8): every value whole, nothing split further.
    std::string json;
    for (const char c : FakeService::postsJson()) {
        if (c != ' ' && c != '\n') {
            json += c;
        }
    }
    EXPECT_NE(json.find(R"(["Content-Type","application/x-www-form-urlencoded"])"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"(["Accept","*/*"])"), std::string::npos);
    EXPECT_NE(json.find(R"(["User-Agent","Brisalune"])"), std::string::npos);
    EXPECT_NE(
        json.find(
            "\"fields\":[[\"name\",\"Ann&Bob\"],[\"comment\",\"50%=half;tr\xC3\x83\xC2\xA8sbien\"],"
            "[\"a=b\",\"\"]]"),
        std::string::npos)
        << json;

    HttpClient empty(log);
    EXPECT_EQ(empty.Post(FakeService::baseUrl() + "/submit-brisalune.php"),
              "Thank you! Your comment has been received.\r\n");
    EXPECT_EQ(FakeService::lastPostBody(), std::string(1, '\0'))
        << "an empty form is one zero byte";
    EXPECT_EQ(log.snapshot(), "");
}

TEST_F(HttpClientTest, PostDoesNotFollowARedirectAndReturnsErrorBodies) {
    FakeService::modeForPath("/submit-brisalune.php", "redirect");
    HttpClient client(log);
    client.AddField("comment", "hello");
    const std::string answer = client.Post(FakeService::baseUrl() + "/submit-brisalune.php");
    EXPECT_EQ(answer.rfind("Redirect answer of /submit-brisalune.php", 0), 0u) << answer;
    EXPECT_EQ(client.status(), 302);
    EXPECT_EQ(FakeService::countForPath("/r/submit-brisalune.php"), 0);

    FakeService::modeForPath("/submit-brisalune.php", "status:503");
    const std::string error = client.Post(FakeService::baseUrl() + "/submit-brisalune.php");
    EXPECT_NE(error.find("503"), std::string::npos) << error;
    EXPECT_EQ(client.status(), 503);

    const std::string closed =
        "http://127.0.0.1:" + std::to_string(FakeService::closedPort()) + "/submit-brisalune.php";
    EXPECT_EQ(client.Post(closed), "");
    EXPECT_EQ(client.status(), 0) << "no answer, no status";
    EXPECT_EQ(log.snapshot(), "");
}

}  // namespace
}  // namespace brisalune
