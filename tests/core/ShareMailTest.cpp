#include <gtest/gtest.h>

#include "TestSupport.h"
#include "model/Records.h"
#include "ui/ShareMail.h"

namespace brisalune {
namespace {

const std::string kPage = "http://site.test/pr/brisalune";
const std::string kGeneralSubject = "Brisalune - Forecast of international cities";
const std::string kGeneralBody =
    "Brisalune, it is a free software that provides international weather forecast, see more "
    "at http://site.test/pr/brisalune";
const std::string kDegree = "\xC2\xB0";

CityRecord city(const std::string& name, int days) {
    CityRecord record(0, name, "wc:1", ORIGIN_USER);
    for (int i = 0; i < days; ++i) {
        ForecastDay day = test::makeDay(30 + i, 50 + i, 28, "Cloudy");
        day.day = "Day" + std::to_string(i);
        record.addDay(day);
    }
    return record;
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Splits a link into its decoded subject and body; fails the test on anything but the form
// the mail program expects.
void decodeLink(const std::string& link, std::string& subject, std::string& body) {
    const std::string start = "mailto:?subject=";
    ASSERT_EQ(link.rfind(start, 0), 0u) << link;
    const size_t bodyAt = link.find("&body=");
    ASSERT_NE(bodyAt, std::string::npos) << link;
    const auto decode = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            EXPECT_TRUE(isalnum(static_cast<unsigned char>(c)) ||
                        std::string("-._~%").find(c) != std::string::npos)
                << "unencoded " << c;
            if (c == '%') {
                EXPECT_LE(i + 2, text.size() - 1) << "cut escape";
                out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
                i += 2;
            } else {
                out += c;
            }
        }
        return out;
    };
    subject = decode(link.substr(start.size(), bodyAt - start.size()));
    body = decode(link.substr(bodyAt + 6));
}

TEST(ShareMail, DaysUpToTheSettingAndTheGeneralTextWhenThereIsNothing) {
    const CityRecord five = city("Calgary", 5);
    const ShareMail one = composeShareMail(&five, 1, true, kPage);
    EXPECT_EQ(one.subject, "Calgary  Forecast");
    EXPECT_EQ(one.body, "Calgary Forecast: Day0, Cloudy, 30" + kDegree + "F - 50" + kDegree +
                            "F; by Brisalune, see more at " + kPage);
    // Celsius when the user shows Celsius: 30 F is -1 C, 50 F is 10 C.
    EXPECT_NE(composeShareMail(&five, 1, false, kPage).body.find("-1" + kDegree + "C - 10"),
              std::string::npos);

    struct Case {
        int cityDays;
        int setting;
        int expected;  // days in the body; 0 for the general text
    } const cases[] = {{5, 1, 1}, {5, 3, 3}, {5, 5, 5},  {3, 5, 3},
                       {1, 3, 1}, {5, 0, 0}, {5, -1, 0}, {0, 5, 0}};
    for (const Case& c : cases) {
        const CityRecord record = city("Calgary", c.cityDays);
        const ShareMail mail = composeShareMail(&record, c.setting, true, kPage);
        SCOPED_TRACE(std::to_string(c.cityDays) + " days, setting " + std::to_string(c.setting));
        if (c.expected == 0) {
            EXPECT_EQ(mail.subject, kGeneralSubject);
            EXPECT_EQ(mail.body, kGeneralBody);
            continue;
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(mail.body.find("Day" + std::to_string(i) + ", ") != std::string::npos,
                      i < c.expected);
        }
    }
    const ShareMail none = composeShareMail(nullptr, 5, true, kPage);
    EXPECT_EQ(none.subject, kGeneralSubject);
    EXPECT_EQ(none.body, kGeneralBody);
}

TEST(ShareMail, LinkEncodesEveryReservedAndNonAsciiByteAndDecodesBack) {
    // "&", "#", "?", "=", "+", "%", a blank, accented letters, a CJK letter; the degree sign
    // comes with the temperatures.
    CityRecord record = city("Gamma & Co #1? Z\xC3\xBCrich=+%/\xE6\x9D\xB1", 2);
    const std::string link = shareLink(&record, 2, true, kPage);
    EXPECT_EQ(link.rfind("mailto:?subject=Gamma%20%26%20Co%20%231%3F%20Z%C3%BCrich%3D%2B%25%2F"
                         "%E6%9D%B1%20%20Forecast&body=",
                         0),
              0u)
        << link;
    EXPECT_NE(link.find("30%C2%B0F%20-%2050%C2%B0F%3B%20"), std::string::npos) << link;
    std::string subject;
    std::string body;
    decodeLink(link, subject, body);
    const ShareMail mail = composeShareMail(&record, 2, true, kPage);
    EXPECT_EQ(subject, mail.subject);
    EXPECT_EQ(body, mail.body);
}

TEST(ShareMail, LongSharesLeaveOutWholeDaysFromTheEnd) {
    CityRecord record(0, "Long", "wc:1", ORIGIN_USER);
    for (int i = 0; i < 40; ++i) {
        ForecastDay day = test::makeDay(30, 50, 28, std::string(60, 'x'));
        day.day = "D" + std::to_string(i) + "_";
        record.addDay(day);
    }
    const std::string link = shareLink(&record, 40, true, kPage);
    EXPECT_LE(link.size(), kMaxMailLink);
    std::string subject;
    std::string body;
    decodeLink(link, subject, body);
    int days = 0;
    while (body.find("D" + std::to_string(days) + "_") != std::string::npos) {
        ++days;
    }
    ASSERT_GT(days, 1);
    ASSERT_LT(days, 40);
    EXPECT_EQ(body, composeShareMail(&record, days, true, kPage).body);
    // As many days as fit: one more would not.
    EXPECT_GT(mailtoLink(composeShareMail(&record, days + 1, true, kPage)).size(), kMaxMailLink);
}

TEST(ShareMail, AnOversizedSingleDayIsCutAtAWholeCharacter) {
    // 700 three-byte letters: nine characters each once encoded, far past the limit.
    std::string name;
    for (int i = 0; i < 700; ++i) {
        name += "\xE6\x9D\xB1";
    }
    const CityRecord record = city(name, 3);
    const std::string link = shareLink(&record, 3, true, kPage);
    EXPECT_LE(link.size(), kMaxMailLink);
    EXPECT_GT(link.size(), kMaxMailLink - 9);
    std::string subject;
    std::string body;
    decodeLink(link, subject, body);
    ASSERT_FALSE(subject.empty());
    EXPECT_EQ(subject.size() % 3, 0u) << "a character was split";
    EXPECT_EQ(name.rfind(subject, 0), 0u);
}

}  // namespace
}  // namespace brisalune
