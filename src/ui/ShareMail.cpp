#include "ui/ShareMail.h"

#include <algorithm>

#include "base/Texts.h"
#include "model/Records.h"

namespace brisalune {

namespace {

constexpr char kLinkStart[] = "mailto:?subject=";
constexpr char kBodyField[] = "&body=";
constexpr char kGeneralSubject[] = "Brisalune - Forecast of international cities";
constexpr char kGeneralBody[] =
    "Brisalune, it is a free software that provides international weather forecast, see more at";
constexpr char kForecastEnd[] = "by Brisalune, see more at";

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void appendEncoded(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    if (unreserved(c)) {
        out += static_cast<char>(c);
    } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    }
}

// Encodes whole UTF-8 characters (a lead byte with its continuation bytes) for as long as the
// result stays within `budget` characters.
std::string encodeWithin(std::string_view utf8, size_t budget) {
    std::string out;
    size_t at = 0;
    while (at < utf8.size()) {
        size_t end = at + 1;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            ++end;
        }
        std::string piece;
        for (size_t i = at; i < end; ++i) {
            appendEncoded(piece, static_cast<unsigned char>(utf8[i]));
        }
        if (out.size() + piece.size() > budget) {
            break;
        }
        out += piece;
        at = end;
    }
    return out;
}

int daysToShare(const CityRecord* city, int shareDays) {
    if (city == nullptr) {
        return 0;
    }
    return std::min(shareDays, static_cast<int>(city->days().size()));
}

}  // namespace

ShareMail composeShareMail(const CityRecord* city, int days, bool fahrenheit,
                           const std::string& productPage) {
    const int count = daysToShare(city, days);
    if (count < 1) {
        return ShareMail{kGeneralSubject, std::string(kGeneralBody) + " " + productPage};
    }
    const std::string& name = city->info.name;
    ShareMail mail;
    mail.subject = name + "  Forecast";
    mail.body = name + " Forecast: ";
    for (int i = 0; i < count; ++i) {
        const ForecastDay& day = city->days()[static_cast<size_t>(i)];
        mail.body += day.day + ", " + day.skytextday + ", " + temperatureText(day.low, fahrenheit) +
                     " - " + temperatureText(day.high, fahrenheit) + "; ";
    }
    mail.body += std::string(kForecastEnd) + " " + productPage;
    return mail;
}

std::string mailEncode(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        appendEncoded(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string mailtoLink(const ShareMail& mail) {
    return kLinkStart + mailEncode(mail.subject) + kBodyField + mailEncode(mail.body);
}

std::string shareLink(const CityRecord* city, int shareDays, bool fahrenheit,
                      const std::string& productPage) {
    int days = daysToShare(city, shareDays);
    ShareMail mail = composeShareMail(city, days, fahrenheit, productPage);
    std::string link = mailtoLink(mail);
    while (link.size() > kMaxMailLink && days > 1) {
        --days;
        mail = composeShareMail(city, days, fahrenheit, productPage);
        link = mailtoLink(mail);
    }
    if (link.size() <= kMaxMailLink) {
        return link;
    }
    const size_t fixed = sizeof kLinkStart - 1 + sizeof kBodyField - 1;
    const std::string subject = encodeWithin(mail.subject, kMaxMailLink - fixed);
    const std::string body = encodeWithin(mail.body, kMaxMailLink - fixed - subject.size());
    return kLinkStart + subject + kBodyField + body;
}

}  // namespace brisalune
