#include "engine/MsnSource.h"

#include <tinyxml.h>

#include <cstdlib>

#include "base/XmlFile.h"

namespace brisalune {

namespace {

constexpr char kServiceOrigin[] = "http://weather.service.msn.com";
constexpr char kRequestPath[] = "/data.aspx?weadegreetype=F&wealocations=";

// The service's answer is three levels deep. TinyXML builds and frees its tree recursively, so
// an answer nested thousands of levels deep, broken or hostile, would overflow the worker's
// stack; such an answer is refused before it reaches the parser.
constexpr int kMaxDepth = 256;

// Follows tags the way the parser will meet them: comments, CDATA, declarations and
// processing instructions do not nest, quoted attribute values may hold any character.
bool nestsTooDeep(const std::string& text) {
    int depth = 0;
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        const auto skipPast = [&](const char* end, size_t from) {
            const size_t found = text.find(end, from);
            return found == std::string::npos ? found : found + std::char_traits<char>::length(end);
        };
        if (text.compare(at, 4, "<!--") == 0) {
            at = skipPast("-->", at + 4);
        } else if (text.compare(at, 9, "<![CDATA[") == 0) {
            at = skipPast("]]>", at + 9);
        } else if (at + 1 < text.size() && (text[at + 1] == '?' || text[at + 1] == '!')) {
            at = skipPast(">", at + 2);
        } else if (at + 1 < text.size() && text[at + 1] == '/') {
            depth = depth > 0 ? depth - 1 : 0;
            at += 2;
        } else {
            size_t end = at + 1;
            char quote = 0;
            for (; end < text.size(); ++end) {
                const char c = text[end];
                if (quote != 0) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (end >= text.size()) {
                return false;
            }
            if (text[end - 1] != '/' && ++depth > kMaxDepth) {
                return true;
            }
            at = end + 1;
        }
        if (at == std::string::npos) {
            return false;
        }
    }
    return false;
}

ForecastDay readDay(const TiXmlElement& element) {
    ForecastDay day;
    // Other attributes, an "alert" among them, are not the service's forecast and are ignored.
    for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        setForecastAttribute(day, attribute->NameTStr(), attribute->ValueStr());
    }
    return day;
}

}  // namespace

ForecastList MsnSource::ParseForecast(const std::string& text) {
    ForecastList days;
    if (nestsTooDeep(text)) {
        return days;
    }
    TiXmlDocument document;
    if (!parseXmlText(text, document)) {
        return days;
    }
    const TiXmlElement* root = document.RootElement();
    const TiXmlElement* weather = root != nullptr ? root->FirstChildElement() : nullptr;
    if (weather == nullptr) {
        return days;
    }
    // Only `forecast` counts; `current` and everything else the service adds is skipped.
    for (const TiXmlElement* element = weather->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        if (element->ValueStr() == "forecast") {
            days.push_back(readDay(*element));
        }
    }
    return days;
}

std::string MsnSource::RequestUrl(const std::string& param) {
    std::string origin = kServiceOrigin;
    const char* configured = std::getenv("BRISALUNE_WEATHER_URL");
    if (configured != nullptr && *configured != '\0') {
        origin = configured;
        while (!origin.empty() && origin.back() == '/') {
            origin.pop_back();
        }
    }
    return origin + kRequestPath + param;
}

}  // namespace brisalune
