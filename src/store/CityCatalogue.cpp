#include "store/CityCatalogue.h"

#include <charconv>

#include "base/XmlFile.h"
#include "base/XmlResource.h"

namespace brisalune {

namespace {

// Attributes are taken by position, whatever they are called; an element with fewer than
// `count` of them is not used.
bool attributeValues(const pugi::xml_node& element, size_t count, std::string* values) {
    pugi::xml_attribute attribute = element.first_attribute();
    for (size_t i = 0; i < count; ++i) {
        if (!attribute) {
            return false;
        }
        values[i] = attribute.value();
        attribute = attribute.next_attribute();
    }
    return true;
}

// A number in range, read the same whatever the program's locale.
std::optional<double> degreesOf(const pugi::xml_attribute& attribute, double limit) {
    const std::string_view text = attribute.value();
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !(value >= -limit && value <= limit)) {
        return std::nullopt;
    }
    return value;
}

// The search key is the one attribute taken by its name: it comes last, after the positions.
std::string keyOf(const pugi::xml_node& element) {
    return element.attribute("key").value();
}

std::optional<CatalogueCity> cityOf(const pugi::xml_node& element) {
    std::string values[2];
    if (!attributeValues(element, 2, values)) {
        return std::nullopt;
    }
    CatalogueCity city{std::move(values[0]), std::move(values[1]), keyOf(element), std::nullopt};
    const std::optional<double> latitude = degreesOf(element.attribute("lat"), 90);
    const std::optional<double> longitude = degreesOf(element.attribute("lon"), 180);
    if (latitude && longitude) {
        city.coordinates = Coordinates{*latitude, *longitude};
    }
    return city;
}

// The document's root element, or none when it is missing or does not parse.
pugi::xml_node parseRoot(const std::optional<std::string>& bytes, pugi::xml_document& document) {
    if (!bytes || !parseXmlText(*bytes, document)) {
        return pugi::xml_node();
    }
    return document.document_element();
}

CatalogueRegion regionOf(const pugi::xml_node& element, std::string name) {
    CatalogueRegion region{std::move(name), {}, keyOf(element)};
    for (const pugi::xml_node& child : element.children("city")) {
        if (std::optional<CatalogueCity> city = cityOf(child)) {
            region.cities.push_back(std::move(*city));
        }
    }
    return region;
}

CatalogueProvince provinceOf(const pugi::xml_node& element, std::string name) {
    CatalogueProvince province{std::move(name), {}, {}, keyOf(element)};
    for (const pugi::xml_node& child : element.children()) {
        const std::string_view kind = child.name();
        if (kind == "subprov") {
            std::string regionName;
            if (attributeValues(child, 1, &regionName)) {
                province.regions.push_back(regionOf(child, std::move(regionName)));
            }
        } else if (kind == "city") {
            if (std::optional<CatalogueCity> city = cityOf(child)) {
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
void addFolding(const pugi::xml_node& element, std::unordered_map<char32_t, std::string>& folding) {
    const pugi::xml_attribute from = element.attribute("from");
    const pugi::xml_attribute to = element.attribute("to");
    if (!from || !to) {
        return;
    }
    std::string_view chars(from.value());
    while (!chars.empty()) {
        char32_t code = 0;
        const size_t length = nextCodePoint(chars, &code);
        if (code != 0) {
            folding[code] = to.value();
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
    pugi::xml_document document;
    const pugi::xml_node root = parseRoot(loader_("IDR_countrylist"), document);
    for (const pugi::xml_node& element : root.children()) {
        const std::string_view kind = element.name();
        std::string values[2];
        if (kind == "fold") {
            addFolding(element, folding_);
        } else if (kind == "country" && attributeValues(element, 2, values)) {
            countries_->push_back(
                {std::move(values[0]), std::move(values[1]), std::nullopt, keyOf(element)});
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
    pugi::xml_document document;
    const pugi::xml_node root = parseRoot(loader_("IDR_" + country.code), document);
    for (const pugi::xml_node& element : root.children("prov")) {
        std::string name;
        if (attributeValues(element, 1, &name)) {
            country.provinces->push_back(provinceOf(element, std::move(name)));
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
