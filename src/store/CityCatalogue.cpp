#include "store/CityCatalogue.h"

#include <tinyxml.h>

#include "base/XmlResource.h"
#include "base/XmlFile.h"

namespace brisalune {

namespace {

// Attributes are taken by position, whatever they are called; an element with fewer than
// `count` of them is not used.
bool attributeValues(const TiXmlElement& element, size_t count, std::string* values) {
    const TiXmlAttribute* attribute = element.FirstAttribute();
    for (size_t i = 0; i < count; ++i) {
        if (attribute == nullptr) {
            return false;
        }
        values[i] = attribute->ValueStr();
        attribute = attribute->Next();
    }
    return true;
}

// The search key is the one attribute taken by its name: it comes last, after the positions.
std::string keyOf(const TiXmlElement& element) {
    const char* key = element.Attribute("key");
    return key != nullptr ? key : std::string();
}

std::optional<CatalogueCity> cityOf(const TiXmlElement& element) {
    std::string values[2];
    if (!attributeValues(element, 2, values)) {
        return std::nullopt;
    }
    return CatalogueCity{std::move(values[0]), std::move(values[1]), keyOf(element)};
}

// The document's root element, or none when it is missing or does not parse.
const TiXmlElement* parseRoot(const std::optional<std::string>& bytes, TiXmlDocument& document) {
    if (!bytes || !parseXmlText(*bytes, document)) {
        return nullptr;
    }
    return document.RootElement();
}

CatalogueRegion regionOf(const TiXmlElement& element, std::string name) {
    CatalogueRegion region{std::move(name), {}, keyOf(element)};
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (child->ValueStr() != "city") {
            continue;
        }
        if (std::optional<CatalogueCity> city = cityOf(*child)) {
            region.cities.push_back(std::move(*city));
        }
    }
    return region;
}

CatalogueProvince provinceOf(const TiXmlElement& element, std::string name) {
    CatalogueProvince province{std::move(name), {}, {}, keyOf(element)};
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (child->ValueStr() == "subprov") {
            std::string regionName;
            if (attributeValues(*child, 1, &regionName)) {
                province.regions.push_back(regionOf(*child, std::move(regionName)));
            }
        } else if (child->ValueStr() == "city") {
            if (std::optional<CatalogueCity> city = cityOf(*child)) {
                province.cities.push_back(std::move(*city));
            }
        }
    }
    return province;
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the UTF-8 sequence at the start of `text` and its code point; a byte that starts
// no valid sequence stands for itself (length 1, no code point).
size_t nextCodePoint(std::string_view text, char32_t* code) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || length > text.size()) {
        *code = 0;
        return 1;
    }
    char32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0u) != 0x80u) {
            *code = 0;
            return 1;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    *code = value;
    return length;
}

// The country list's <fold from=".." to=".."/>: every character of `from` folds to `to`.
void addFolding(const TiXmlElement& element, std::unordered_map<char32_t, std::string>& folding) {
    const char* from = element.Attribute("from");
    const char* to = element.Attribute("to");
    if (from == nullptr || to == nullptr) {
        return;
    }
    std::string_view chars(from);
    while (!chars.empty()) {
        char32_t code = 0;
        const size_t length = nextCodePoint(chars, &code);
        if (code != 0) {
            folding[code] = to;
        }
        chars.remove_prefix(length);
    }
}

}  // namespace

CityCatalogue::CityCatalogue() : CityCatalogue(loadXmlResource) {}

CityCatalogue::CityCatalogue(Loader loader) : loader_(std::move(loader)) {}

std::vector<CatalogueCountry>& CityCatalogue::LoadCountryList() {
    if (countries_) {
        return *countries_;
    }
    countries_.emplace();
    TiXmlDocument document;
    const TiXmlElement* root = parseRoot(loader_("IDR_countrylist"), document);
    if (root == nullptr) {
        return *countries_;
    }
    for (const TiXmlElement* element = root->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        if (element->ValueStr() == "fold") {
            addFolding(*element, folding_);
            continue;
        }
        if (element->ValueStr() != "country") {
            continue;
        }
        std::string values[2];
        if (attributeValues(*element, 2, values)) {
            countries_->push_back(
                {std::move(values[0]), std::move(values[1]), std::nullopt, keyOf(*element)});
        }
    }
    return *countries_;
}

void CityCatalogue::LoadProvinces(CatalogueCountry& country) const {
    if (country.provinces) {
        return;
    }
    // Present from here on, so a country whose document fails counts as loaded and empty.
    country.provinces.emplace();
    TiXmlDocument document;
    const TiXmlElement* root = parseRoot(loader_("IDR_" + country.code), document);
    if (root == nullptr) {
        return;
    }
    for (const TiXmlElement* element = root->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        if (element->ValueStr() != "prov") {
            continue;
        }
        std::string name;
        if (attributeValues(*element, 1, &name)) {
            country.provinces->push_back(provinceOf(*element, std::move(name)));
        }
    }
}

void CityCatalogue::UnloadProvinces(CatalogueCountry& country) {
    country.provinces.reset();
}

SearchKeyword CityCatalogue::Keyword(std::string_view typed) const {
    while (!typed.empty() && typed.back() == ' ') {
        typed.remove_suffix(1);
    }
    SearchKeyword keyword;
    while (!typed.empty()) {
        char32_t code = 0;
        const size_t length = nextCodePoint(typed, &code);
        const auto folded = folding_.find(code);
        if (code != 0 && folded != folding_.end()) {
            keyword.folded += folded->second;
        } else {
            for (size_t i = 0; i < length; ++i) {
                keyword.folded += foldAscii(typed[i]);
            }
        }
        typed.remove_prefix(length);
    }
    return keyword;
}

bool CityCatalogue::MatchesKeyword(std::string_view name, std::string_view keyword) {
    while (!keyword.empty() && keyword.back() == ' ') {
        keyword.remove_suffix(1);
    }
    if (name.size() < keyword.size()) {
        return false;
    }
    for (size_t i = 0; i < keyword.size(); ++i) {
        if (foldAscii(name[i]) != foldAscii(keyword[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace brisalune
