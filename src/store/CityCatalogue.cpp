#include "store/CityCatalogue.h"

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

std::optional<CatalogueCity> cityOf(const pugi::xml_node& element) {
    std::string values[2];
    if (!attributeValues(element, 2, values)) {
        return std::nullopt;
    }
    return CatalogueCity{std::move(values[0]), std::move(values[1])};
}

// The document's root element, or none when it is missing or does not parse.
pugi::xml_node parseRoot(const std::optional<std::string>& bytes, pugi::xml_document& document) {
    if (!bytes || !parseXmlText(*bytes, document)) {
        return pugi::xml_node();
    }
    return document.document_element();
}

CatalogueRegion regionOf(const pugi::xml_node& element, std::string name) {
    CatalogueRegion region{std::move(name), {}};
    for (const pugi::xml_node& child : element.children("city")) {
        if (std::optional<CatalogueCity> city = cityOf(child)) {
            region.cities.push_back(std::move(*city));
        }
    }
    return region;
}

CatalogueProvince provinceOf(const pugi::xml_node& element, std::string name) {
    CatalogueProvince province{std::move(name), {}, {}};
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
    for (const pugi::xml_node& element : root.children("country")) {
        std::string values[2];
        if (attributeValues(element, 2, values)) {
            countries_->push_back({std::move(values[0]), std::move(values[1]), std::nullopt});
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
