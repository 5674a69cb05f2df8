#include "ui/VersionDocument.h"

#include <tinyxml.h>

#include <cctype>

#include "base/XmlFile.h"

namespace brisalune {

namespace {

std::string elementText(const TiXmlElement& element) {
    const TiXmlNode* first = element.FirstChild();
    const TiXmlText* text = first != nullptr ? first->ToText() : nullptr;
    return text != nullptr ? text->ValueStr() : std::string();
}

// Digits at `at`, saturating rather than wrapping; false when there are none.
bool readNumber(const std::string& text, size_t& at, unsigned& number) {
    const size_t start = at;
    number = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        number = number > (0xFFFFFFFFu - digit) / 10 ? 0xFFFFFFFFu : number * 10 + digit;
        ++at;
    }
    return at > start;
}

}  // namespace

VersionOffer readVersionDocument(const std::string& text) {
    VersionOffer offer;
    TiXmlDocument document;
    if (!parseXmlText(text, document) || document.RootElement() == nullptr) {
        return offer;
    }
    for (const TiXmlElement* element = document.RootElement()->FirstChildElement();
         element != nullptr; element = element->NextSiblingElement()) {
        if (element->ValueStr() == "value") {
            offer.hasValue = true;
            offer.value = elementText(*element);
        } else if (element->ValueStr() == "news") {
            offer.news = elementText(*element);
        }
    }
    return offer;
}

bool parseVersion(const std::string& text, ProgramVersion& version) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    ProgramVersion read;
    if (!readNumber(text, at, read.major)) {
        return false;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        readNumber(text, at, read.minor);
    }
    version = read;
    return true;
}

bool isNewerVersion(const std::string& offered, const ProgramVersion& running) {
    ProgramVersion version;
    if (!parseVersion(offered, version)) {
        return false;
    }
    return version.major != running.major ? version.major > running.major
                                          : version.minor > running.minor;
}

}  // namespace brisalune
