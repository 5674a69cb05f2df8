#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <utility>

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

CityRecord city(const std::string& name, int days, const std::string& sky = "Cloudy") {
    CityRecord record(0, name, "wc:1", ORIGIN_USER);
    for (int i = 0; i < days; ++i) {
        ForecastDay day = test::makeDay(30 + i, 50 + i, 28, sky);
        day.day = "Day" + std::to_string(i);
        record.addDay(day);
    }
    return record;
}

// The decoded subject and body of a link, after checking that it holds nothing but
// unreserved characters and escapes.
std::pair<std::string, std::string> decodeLink(const std::string& link) {
    static const std::regex shape("mailto:\\?subject=([A-Za-z0-9%._~-]*)&body=([A-Za-z0-9%._~-]*)");
    std::smatch parts;
    EXPECT_TRUE(std::regex_match(link, parts, shape)) << link;
    const auto decode = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            out += text[i] != '%'
                       ? text[i]
                       : static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += text[i] == '%' ? 2 : 0;
        }
        return out;
    };
    return {decode(parts.str(1)), decode(parts.str(2))};
}

// How many days a setting shares is the share dialog's test.
TEST(ShareMail, DaysInTheUsersUnitAndTheGeneralTextWhenThereIsNothing) {
    const CityRecord five = city("Calgary", 5), none = city("", 0);
    // 30 F is -1 C, 50 F is 10 C.
    EXPECT_EQ(composeShareMail(&five, 1, false, kPage).body,
              "Calgary Forecast: Day0, Cloudy, -1" + kDegree + "C - 10" + kDegree +
                  "C; by Brisalune, see more at " + kPage);
    for (const auto& [record, setting] :
         {std::pair(&five, 0), std::pair(&five, -1), std::pair(&none, 5),
          std::pair<const CityRecord*, int>(nullptr, 5)}) {
        const ShareMail mail = composeShareMail(record, setting, true, kPage);
        EXPECT_EQ(std::tie(mail.subject, mail.body), std::tie(kGeneralSubject, kGeneralBody))
            << setting;
    }
}

TEST(ShareMail, LinkEncodesEveryReservedAndNonAsciiByteAndDecodesBack) {
    // "&", "#", "?", "=", "+", "%", a blank, accented letters, a CJK letter; the degree sign
    // comes with the temperatures.
    CityRecord record = city("Gamma & Co #1? Z\xC3\xBCrich=+%/\xE6\x9D\xB1", 2);
    // The link holds only unreserved bytes and escapes, and decodes to the mail's UTF-8 bytes.
    const ShareMail mail = composeShareMail(&record, 2, true, kPage);
    EXPECT_EQ(decodeLink(shareLink(&record, 2, true, kPage)),
              std::make_pair(mail.subject, mail.body));
}

TEST(ShareMail, LongSharesLeaveOutWholeDaysAndNeverSplitACharacter) {
    const CityRecord record = city("Long", 40, std::string(60, 'x'));
    const std::string link = shareLink(&record, 40, true, kPage);
    EXPECT_LE(link.size(), kMaxMailLink);
    const std::string body = decodeLink(link).second;
    int days = 0;
    while (body.find("Day" + std::to_string(days) + ", ") != std::string::npos) {
        ++days;
    }
    ASSERT_GT(days, 1);
    EXPECT_EQ(body, composeShareMail(&record, days, true, kPage).body);
    EXPECT_GT(mailtoLink(composeShareMail(&record, days + 1, true, kPage)).size(), kMaxMailLink)
        << "one more day would have fitted";

    // A name of 700 three-byte letters does not fit with a single day: cut after a letter.
    std::string name;
    for (int i = 0; i < 700; ++i) {
        name += "\xE6\x9D\xB1";
    }
    const CityRecord huge = city(name, 3);
    const std::string cut = shareLink(&huge, 3, true, kPage);
    EXPECT_LE(cut.size(), kMaxMailLink);
    EXPECT_GT(cut.size(), kMaxMailLink - 9);
    const std::string subject = decodeLink(cut).first;
    EXPECT_EQ(subject.size() % 3, 0u) << "a letter was split";
    EXPECT_EQ(name.rfind(subject, 0), 0u);
}

}  // namespace
}  // namespace brisalune
