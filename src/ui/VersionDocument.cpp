#include "ui/VersionDocument.h"

#include <cctype>
#include <string_view>

#include "base/XmlFile.h"

namespace brisalune {

namespace {

std::string elementText(const pugi::xml_node& element) {
    const pugi::xml_node first = element.first_child();
    const bool text = first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata;
    return text ? first.value() : std::string();
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
    pugi::xml_document document;
    if (!parseXmlText(text, document)) {
        return offer;
    }
    for (const pugi::xml_node& element : document.document_element().children()) {
        if (element.type() != pugi::node_element) {
            continue;
        }
        if (std::string_view(element.name()) == "value") {
            offer.hasValue = true;
            offer.value = elementText(element);
        } else if (std::string_view(element.name()) == "news") {
            offer.news = elementText(element);
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
