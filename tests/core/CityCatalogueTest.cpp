#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "base/XmlResource.h"
#include "store/CityCatalogue.h"

namespace brisalune {
namespace {

// The names of the items that match the keyword, in catalogue order, joined by "|".
template <typename Item>
std::string matching(const CityCatalogue& catalogue, const std::vector<Item>& items,
                     std::string_view keyword = "") {
    std::string names;
    for (const Item* item : itemsMatching(items, catalogue.Keyword(keyword))) {
        names += (names.empty() ? "" : "|") + item->name;
    }
    return names;
}

// The country with this code, its provinces loaded.
CatalogueCountry& countryCoded(CityCatalogue& catalogue, const std::string& code) {
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        if (country.code == code) {
            catalogue.LoadProvinces(country);
            return country;
        }
    }
    throw std::runtime_error("no country coded " + code);
}

TEST(CityCatalogueData, DocumentsAreReadOnceInDocumentOrderUntilUnloaded) {
    std::vector<std::string> requests;  // the program's own documents, each request noted
    CityCatalogue catalogue([&](const std::string& name) {
        requests.push_back(name);
        return loadXmlResource(name);
    });
    std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    ASSERT_EQ(countries.size(), 237u);
    // Sorted without accents, so the list is not in byte order.
    EXPECT_EQ(countries[1].name, "\xC3\x85land Islands");
    // Later calls hand back the same objects without reading anything, so references held by
    // an open dialog stay valid.
    EXPECT_EQ(&catalogue.LoadCountryList(), &countries);
    CatalogueCountry& andorra = countryCoded(catalogue, "ad");
    const CatalogueProvince* first = &andorra.provinces->front();
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(&andorra.provinces->front(), first);
    EXPECT_EQ(requests, (std::vector<std::string>{"IDR_countrylist", "IDR_ad"}));
    CityCatalogue::UnloadProvinces(andorra);
    EXPECT_FALSE(andorra.provinces.has_value());
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(andorra.provinces->size(), 7u);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "IDR_ad"), 2);
}

TEST(CityCatalogueData, KeywordIsAPrefixBlindToAccentsAndCaseWithTrailingBlanksDropped) {
    CityCatalogue catalogue;
    const std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    EXPECT_EQ(itemsMatching(countries, catalogue.Keyword(" ")).size(), 237u);
    // Document order, not byte order: "US Virgin Islands" stands after "Uruguay". Only the
    // trailing blank itself is trimmed. "ca" does not find "Côte d'Ivoire": its second letter
    // is an o, accent or not.
    const std::pair<std::string, std::string> cases[] = {
        {"ca", "Cambodia|Cameroon|Canada|Cape Verde|Cayman Islands"},
        {"u",
         "Uganda|Ukraine|United Arab Emirates|United Kingdom|United States|Uruguay|"
         "US Virgin Islands|Uzbekistan"},
        {"land", ""},
        {"Chad   ", "Chad"},
        {" can", ""},
        {"Chad\t", ""},
        {"ALAND", "\xC3\x85land Islands"},
        {"C\xC3\x94TE D\xE2\x80\x99", "C\xC3\xB4te d'Ivoire"},
        {"Co\xCC\x82te", "C\xC3\xB4te d'Ivoire"},
        {"\xC3\xA7\xC3\xB6te", "C\xC3\xB4te d'Ivoire"},
        {"r\xC3\xA8u", "R\xC3\xA9union"},
        // A Cyrillic e only looks like a Latin one.
        {"cot\xD0\xB5", ""},
    };
    for (const auto& [keyword, expected] : cases) {
        EXPECT_EQ(matching(catalogue, countries, keyword), expected) << '"' << keyword << '"';
    }
    // Bytes a careless fold would pair up: @ and `, [ and {, and Latin-1 letters.
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("@a", "`a"));
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("[a", "{a"));
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("\xC4", "\xE4"));
    // Provinces and regions are found without accents too.
    const CatalogueCountry& poland = countryCoded(catalogue, "pl");
    EXPECT_EQ(matching(catalogue, *poland.provinces, "lodz"),
              "\xC5\x81\xC3\xB3"
              "d\xC5\xBA Voivodeship");
    const CatalogueProvince* idf =
        itemsMatching(*countryCoded(catalogue, "fr").provinces, catalogue.Keyword("ile-")).at(0);
    EXPECT_EQ(matching(catalogue, idf->regions, "VAL D\xE2\x80\x99"), "Val d'Oise");
}

// Every shipped document as the program reads it: as many cities as the generator wrote (its
// self-check holds them to the naming and shape rules), France, Japan and the United Kingdom
// by region.
TEST(CityCatalogueData, EveryCityOfEveryDocumentIsRead) {
    CityCatalogue catalogue;
    size_t cities = 0;
    std::set<std::string> regional;
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        catalogue.LoadProvinces(country);
        EXPECT_FALSE(country.provinces->empty()) << country.code;
        for (const CatalogueProvince& province : *country.provinces) {
            cities += province.cities.size();
            for (const CatalogueRegion& region : province.regions) {
                regional.insert(country.code);
                cities += region.cities.size();
            }
        }
        CityCatalogue::UnloadProvinces(country);
    }
    EXPECT_EQ(cities, 14500u);
    EXPECT_EQ(regional, (std::set<std::string>{"fr", "gb", "jp"}));
    EXPECT_EQ(countryCoded(catalogue, "ca").provinces->front().cities.front().param,
              "wc:5913490&q=Calgary%2c+CAN");
}

}  // namespace
}  // namespace brisalune
