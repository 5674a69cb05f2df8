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

std::optional<CatalogueCity> cityOf(const TiXmlElement& element) {
    std::string values[2];
    if (!attributeValues(element, 2, values)) {
        return std::nullopt;
    }
    return CatalogueCity{std::move(values[0]), std::move(values[1])};
}

// The document's root element, or none when it is missing or does not parse.
const TiXmlElement* parseRoot(const std::optional<std::string>& bytes, TiXmlDocument& document) {
    if (!bytes || !parseXmlText(*bytes, document)) {
        return nullptr;
    }
    return document.RootElement();
}

CatalogueRegion regionOf(const TiXmlElement& element, std::string name) {
    CatalogueRegion region{std::move(name), {}};
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
    CatalogueProvince province{std::move(name), {}, {}};
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
        if (element->ValueStr() != "country") {
            continue;
        }
        std::string values[2];
        if (attributeValues(*element, 2, values)) {
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
