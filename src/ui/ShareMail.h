// The forecast mail of the Share command: its subject and body, and the mailto link that hands
// them to the user's mail program. Portable, so the texts and the encoding are tested natively.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brisalune {

class CityRecord;

struct ShareMail {
    std::string subject;
    std::string body;
};

// The shell refuses longer URLs.
inline constexpr size_t kMaxMailLink = 2048;

// The mail for a city's first `days` forecast days (fewer when it has fewer). No city, a city
// without days or `days` below 1 give the general text about the program. Temperatures in the
// unit the user shows.
ShareMail composeShareMail(const CityRecord* city, int days, bool fahrenheit,
                           const std::string& productPage);

// Percent-encoding for a mailto header value: every byte other than a letter, a digit or one of
// "-._~" becomes "%" and two upper-case hexadecimal digits, so "&", "#", "?", blanks and every
// non-ASCII letter (as its UTF-8 bytes) travel intact.
std::string mailEncode(std::string_view utf8);

// "mailto:?subject=...&body=..." with no recipient: the user picks one in the mail program.
std::string mailtoLink(const ShareMail& mail);

// The link for a city, at most kMaxMailLink characters: when the whole forecast does not fit,
// days are left out from the end; should even one day not fit, the texts are cut after the
// last whole character that fits, never inside a character or an escape.
std::string shareLink(const CityRecord* city, int shareDays, bool fahrenheit,
                      const std::string& productPage);

}  // namespace brisalune
