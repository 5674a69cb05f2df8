#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>

#include "TestSupport.h"
#include "base/XmlResource.h"
#include "store/CityCatalogue.h"

namespace brisalune {
namespace {

using Names = std::vector<std::string>;

// Hands out the documents put here, else (when `shipped`) the program's own, and remembers
// every request.
struct Documents {
    explicit Documents(bool shipped, std::map<std::string, std::string> given = {})
        : given(std::move(given)), shipped(shipped) {}
    std::map<std::string, std::string> given;
    bool shipped;
    Names requests;

    CityCatalogue::Loader loader() {
        return [this](const std::string& name) -> std::optional<std::string> {
            requests.push_back(name);
            if (const auto found = given.find(name); found != given.end()) {
                return found->second;
            }
            return shipped ? loadXmlResource(name) : std::nullopt;
        };
    }
    long reads(const std::string& name) const {
        return std::count(requests.begin(), requests.end(), name);
    }
};

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

// ---- The shipped country list and the search over it

TEST(CityCatalogueData, DocumentsAreReadOnceInDocumentOrderUntilUnloaded) {
    Documents documents(true);
    CityCatalogue catalogue(documents.loader());
    EXPECT_FALSE(catalogue.hasCountryList());
    std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    ASSERT_EQ(countries.size(), 237u);
    // Sorted without accents, so the list is not in byte order.
    EXPECT_EQ(countries[1].name, "\xC3\x85land Islands");
    EXPECT_EQ(countries[1].code, "ax");
    EXPECT_EQ(countries.back().name, "Zimbabwe");
    // Later calls hand back the same objects without reading anything, so references held by
    // an open dialog stay valid.
    EXPECT_EQ(&catalogue.LoadCountryList(), &countries);
    CatalogueCountry& andorra = countryCoded(catalogue, "ad");
    const CatalogueProvince* first = &andorra.provinces->front();
    EXPECT_EQ(first->name, "Andorra la Vella");
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(&andorra.provinces->front(), first);
    EXPECT_EQ(documents.requests, (Names{"IDR_countrylist", "IDR_ad"}));

    CityCatalogue::UnloadProvinces(andorra);
    EXPECT_FALSE(andorra.provinces.has_value());
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(andorra.provinces->size(), 7u);
    EXPECT_EQ(documents.reads("IDR_ad"), 2);
}

TEST(CityCatalogueData, KeywordIsAPrefixBlindToAccentsAndCaseWithTrailingBlanksDropped) {
    CityCatalogue catalogue;
    const std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    EXPECT_EQ(matching(catalogue, countries, " "), matching(catalogue, countries, ""));
    EXPECT_EQ(itemsMatching(countries, catalogue.Keyword("")).size(), 237u);
    // Document order, not byte order: "US Virgin Islands" stands after "Uruguay". Only the
    // trailing blank itself is trimmed. "ca" does not find "Côte d'Ivoire": its second letter
    // is an o, accent or not.
    const std::pair<std::string, std::string> cases[] = {
        {"ca", "Cambodia|Cameroon|Canada|Cape Verde|Cayman Islands"},
        {"u",
         "Uganda|Ukraine|United Arab Emirates|United Kingdom|United States|Uruguay|"
         "US Virgin Islands|Uzbekistan"},
        {"land", ""},
        {"Zimbabwe and more", ""},
        {"Chad   ", "Chad"},
        {" can", ""},
        {"Chad\t", ""},
        {"co", "Colombia|Comoros|Cook Islands|Costa Rica|C\xC3\xB4te d'Ivoire"},
        {"\xC3\xA5land", "\xC3\x85land Islands"},
        {"ALAND", "\xC3\x85land Islands"},
        {"cote", "C\xC3\xB4te d'Ivoire"},
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
    EXPECT_TRUE(CityCatalogue::MatchesKeyword("Zz", "zZ"));
}

// ---- The shipped country documents

TEST(CityCatalogueData, ProvincesRegionsAndCitiesAreFoundWithoutAccents) {
    CityCatalogue catalogue;
    const CatalogueProvince& zurich = countryCoded(catalogue, "ch").provinces->back();
    EXPECT_EQ(matching(catalogue, zurich.cities, "zur"), "Z\xC3\xBCrich");
    const CatalogueCountry& brazil = countryCoded(catalogue, "br");
    EXPECT_EQ(matching(catalogue, *brazil.provinces, "SAO"), "S\xC3\xA3o Paulo");
    const CatalogueCountry& poland = countryCoded(catalogue, "pl");
    EXPECT_EQ(matching(catalogue, *poland.provinces, "lodz"),
              "\xC5\x81\xC3\xB3"
              "d\xC5\xBA Voivodeship");
    const CatalogueCountry& france = countryCoded(catalogue, "fr");
    const CatalogueProvince* idf =
        itemsMatching(*france.provinces, catalogue.Keyword("ile-")).at(0);
    EXPECT_EQ(idf->name, "\xC3\x8Ele-de-France");
    EXPECT_EQ(matching(catalogue, idf->regions, "VAL D\xE2\x80\x99"), "Val d'Oise");
}

// ---- Stand-in documents: failures and malformed elements

TEST(CityCatalogue, MissingOrBrokenDocumentsLoadAsEmpty) {
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    Documents documents(false,
                        {{"IDR_countrylist", "<countrylist><country name=\"A\" code=\"a\"/>"},
                         {"IDR_broken", declaration + "<country name=\"B\"><prov name=\"P\">"
                                                      "<city name=\"C\" param=\"p\"/></country>"},
                         {"IDR_empty", ""},
                         {"IDR_bare", declaration},
                         {"IDR_text", "not XML at all"}});
    CityCatalogue catalogue(documents.loader());

    // An unclosed country list gives no countries, and is not read again.
    EXPECT_TRUE(catalogue.LoadCountryList().empty());
    EXPECT_TRUE(catalogue.hasCountryList());
    EXPECT_TRUE(catalogue.LoadCountryList().empty());

    for (const char* code : {"missing", "broken", "empty", "bare", "text"}) {
        CatalogueCountry country{"Name", code, std::nullopt, {}};
        catalogue.LoadProvinces(country);
        ASSERT_TRUE(country.provinces.has_value()) << code;
        EXPECT_TRUE(country.provinces->empty()) << code;
        // Loaded, though empty: opening it again does not read it again.
        catalogue.LoadProvinces(country);
    }
    EXPECT_EQ(documents.requests, (Names{"IDR_countrylist", "IDR_missing", "IDR_broken",
                                         "IDR_empty", "IDR_bare", "IDR_text"}));

    CityCatalogue nothing([](const std::string&) { return std::nullopt; });
    EXPECT_TRUE(nothing.LoadCountryList().empty());
}

TEST(CityCatalogue, TakesAttributesByPositionAndSkipsWhatItCannotUse) {
    Documents documents(
        false,
        {{"IDR_countrylist",
          "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<list>\r\n"
          "<country code=\"First\" name=\"x1\"/><country name=\"Only a name\"/>\r\n"
          "<Country name=\"Wrong case\" code=\"wc\"/><note a=\"b\" c=\"d\"/>\r\n"
          "<country name=\"S&amp;P &#x00E9;\" code=\"sp\" extra=\"ignored\">"
          "<country name=\"Nested\" code=\"n\"/></country>\r\n</list>\r\n"},
         {"IDR_sp",
          "<country><prov b=\"Mixed\"><city/><city name=\"One attribute\"/>\n"
          "<city param=\"wc:1&amp;q=A\" name=\"A\" lat=\"1\" lon=\"2\"/>\n"
          "<subprov n=\"Region\"><city name=\"B\" param=\"wc:2\"/><town name=\"T\" param=\"t\"/>\n"
          "<subprov name=\"Deeper\"><city name=\"D\" param=\"d\"/></subprov></subprov>\n"
          "<subprov/><Subprov name=\"Wrong case\"/><city name=\"C\" param=\"wc:3\"/></prov>\n"
          "<prov/><province name=\"Other tag\"/><prov name=\"Empty\"/></country>\n"}});
    CityCatalogue catalogue(documents.loader());

    std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    ASSERT_EQ(countries.size(), 2u);
    EXPECT_EQ(countries[0].name, "First");
    EXPECT_EQ(countries[0].code, "x1");
    EXPECT_EQ(countries[1].name, "S&P \xC3\xA9");
    EXPECT_EQ(countries[1].code, "sp");

    catalogue.LoadProvinces(countries[1]);
    ASSERT_EQ(countries[1].provinces->size(), 2u);
    const CatalogueProvince& mixed = (*countries[1].provinces)[0];
    EXPECT_EQ(mixed.name, "Mixed");
    ASSERT_EQ(mixed.cities.size(), 2u);
    EXPECT_EQ(mixed.cities[0].name, "wc:1&q=A");
    EXPECT_EQ(mixed.cities[0].param, "A");
    EXPECT_EQ(mixed.cities[1].name, "C");
    ASSERT_EQ(mixed.regions.size(), 1u);
    EXPECT_EQ(mixed.regions[0].name, "Region");
    ASSERT_EQ(mixed.regions[0].cities.size(), 1u);
    EXPECT_EQ(mixed.regions[0].cities[0].param, "wc:2");
    const CatalogueProvince& empty = (*countries[1].provinces)[1];
    EXPECT_EQ(empty.name, "Empty");
    EXPECT_TRUE(empty.regions.empty() && empty.cities.empty());

    // Country codes go into the resource name as stored.
    catalogue.LoadProvinces(countries[0]);
    EXPECT_EQ(documents.requests, (Names{"IDR_countrylist", "IDR_sp", "IDR_x1"}));
}

// ---- Every shipped document as the program reads it. The generator's self-check holds the
// documents to the naming and shape rules; here the program's own reader must see the same:
// every place with a location the service understands, none listed twice.

TEST(CityCatalogueData, EveryCityReadsAsAServiceLocationOfItsOwn) {
    CityCatalogue catalogue;
    static const std::regex shape("wc:([0-9]+)&q=[-A-Za-z0-9*._+%]+%2c\\+[A-Z]{3}");
    std::set<std::string> ids;
    Names problems;
    size_t cities = 0;
    const auto check = [&](const std::vector<CatalogueCity>& list) {
        for (const CatalogueCity& city : list) {
            ++cities;
            std::smatch part;
            if (city.name.empty() || !std::regex_match(city.param, part, shape) ||
                !ids.insert(part.str(1)).second) {
                problems.push_back(city.name + " " + city.param);
            }
        }
    };
    std::set<std::string> regional;
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        catalogue.LoadProvinces(country);
        EXPECT_FALSE(country.provinces->empty()) << country.code;
        for (const CatalogueProvince& province : *country.provinces) {
            check(province.cities);
            for (const CatalogueRegion& region : province.regions) {
                regional.insert(country.code);
                check(region.cities);
            }
        }
        CityCatalogue::UnloadProvinces(country);
    }
    EXPECT_GT(cities, 14000u);
    EXPECT_EQ(problems, Names{});
    // France, Japan and the United Kingdom list their cities by region.
    EXPECT_EQ(regional, (std::set<std::string>{"fr", "gb", "jp"}));
    const CatalogueCountry& canada = countryCoded(catalogue, "ca");
    EXPECT_EQ(canada.provinces->front().cities.front().param, "wc:5913490&q=Calgary%2c+CAN");
    EXPECT_EQ(matching(catalogue, *canada.provinces, "n"),
              "New Brunswick|Newfoundland and Labrador|Northwest Territories|Nova Scotia|Nunavut");
}

#ifndef _WIN32
// ---- The native stand-in for the program's resources

TEST(XmlResourceFiles, NamesAreCaseInsensitiveAndStayInsideTheDirectory) {
    const std::string directory = xmlResourceDirectory();
    const std::string list = test::readFile(directory + "/countrylist.xml");
    EXPECT_EQ(list.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(loadXmlResource("IDR_COUNTRYLIST"), list);
    EXPECT_EQ(loadXmlResource("Idr_Countrylist"), list);
    EXPECT_EQ(loadXmlResource("idr_gb"), test::readFile(directory + "/gb.xml"));
    for (const char* name : {"IDR_", "IDR_zz", "gb", "XDR_GB", "IDR_gb.xml", "", "IDR_g b"}) {
        EXPECT_FALSE(loadXmlResource(name).has_value()) << name;
    }

    // Names come from catalogue data: none may lead out of the directory.
    test::ScratchDir scratch;
    std::filesystem::create_directory(test::fsPath(scratch.file("inner")));
    test::writeFile(scratch.file("secret.xml"), "<secret/>");
    test::writeFile(scratch.file("inner/x1.xml"), "<x/>");
    setXmlResourceDirectory(scratch.file("inner"));
    EXPECT_EQ(loadXmlResource("IDR_X1"), "<x/>");
    EXPECT_FALSE(loadXmlResource("IDR_../secret").has_value());
    EXPECT_FALSE(loadXmlResource("IDR_/" + scratch.file("secret")).has_value());
    setXmlResourceDirectory(directory);
}
#endif

}  // namespace
}  // namespace brisalune
