#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

#include "TestSupport.h"
#include "app/XmlResource.h"
#include "store/CityCatalogue.h"

namespace brisalune {
namespace {

// Hands out stand-in documents by name and remembers every request.
class FakeDocuments {
public:
    void put(const std::string& name, std::string bytes) { documents_[name] = std::move(bytes); }
    CityCatalogue::Loader loader() {
        return [this](const std::string& name) -> std::optional<std::string> {
            requests.push_back(name);
            const auto found = documents_.find(name);
            if (found == documents_.end()) {
                return std::nullopt;
            }
            return found->second;
        };
    }
    std::vector<std::string> requests;

private:
    std::map<std::string, std::string> documents_;
};

// The shipped documents, counting how often each is read.
class CountingLoader {
public:
    CityCatalogue::Loader loader() {
        return [this](const std::string& name) {
            ++reads[name];
            return loadXmlResource(name);
        };
    }
    std::map<std::string, int> reads;
};

template <typename Item>
std::vector<std::string> namesOf(const std::vector<const Item*>& items) {
    std::vector<std::string> names;
    for (const Item* item : items) {
        names.push_back(item->name);
    }
    return names;
}

std::vector<std::string> countriesMatching(CityCatalogue& catalogue, std::string_view keyword) {
    return namesOf(itemsMatching(catalogue.LoadCountryList(), keyword));
}

CatalogueCountry& countryCoded(CityCatalogue& catalogue, const std::string& code) {
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        if (country.code == code) {
            return country;
        }
    }
    throw std::runtime_error("no country coded " + code);
}

using Names = std::vector<std::string>;

// ---- The shipped country list and the search over it

TEST(CityCatalogueData, CountryListKeepsDocumentOrderAndIsReadOnce) {
    CountingLoader counting;
    CityCatalogue catalogue(counting.loader());
    EXPECT_FALSE(catalogue.hasCountryList());
    std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    ASSERT_EQ(countries.size(), 237u);
    EXPECT_EQ(countries[0].name, "Afghanistan");
    EXPECT_EQ(countries[0].code, "af");
    // Sorted without accents, so the list is not in byte order.
    EXPECT_EQ(countries[1].name, "\xC3\x85land Islands");
    EXPECT_EQ(countries[1].code, "ax");
    EXPECT_EQ(countries.back().name, "Zimbabwe");
    std::set<std::string> codes;
    for (const CatalogueCountry& country : countries) {
        EXPECT_FALSE(country.provinces.has_value()) << country.code;
        codes.insert(country.code);
    }
    EXPECT_EQ(codes.size(), countries.size());

    // Later calls hand back the same list without reading it again, so references held by
    // an open dialog stay valid.
    EXPECT_EQ(&catalogue.LoadCountryList(), &countries);
    EXPECT_EQ(counting.reads, (std::map<std::string, int>{{"IDR_countrylist", 1}}));
}

TEST(CityCatalogueData, KeywordMatchesCountriesByPrefixInDocumentOrder) {
    CityCatalogue catalogue;
    const Names ca{"Cambodia", "Cameroon", "Canada", "Cape Verde", "Cayman Islands"};
    EXPECT_EQ(countriesMatching(catalogue, "ca"), ca);
    EXPECT_EQ(countriesMatching(catalogue, "CA"), ca);
    EXPECT_EQ(countriesMatching(catalogue, "cAnA"), Names{"Canada"});
    // Document order, not byte order: "US Virgin Islands" stands after "Uruguay".
    EXPECT_EQ(countriesMatching(catalogue, "United "),
              (Names{"United Arab Emirates", "United Kingdom", "United States"}));
    EXPECT_EQ(countriesMatching(catalogue, "us"), Names{"US Virgin Islands"});
    EXPECT_EQ(countriesMatching(catalogue, "u"),
              (Names{"Uganda", "Ukraine", "United Arab Emirates", "United Kingdom", "United States",
                     "Uruguay", "US Virgin Islands", "Uzbekistan"}));
    // A prefix match, not a substring match.
    EXPECT_EQ(countriesMatching(catalogue, "land"), Names{});
    EXPECT_EQ(countriesMatching(catalogue, "Zimbabwe and more"), Names{});
}

TEST(CityCatalogueData, KeywordDropsTrailingBlanksAndKeepsLeadingOnes) {
    CityCatalogue catalogue;
    EXPECT_EQ(countriesMatching(catalogue, "Chad   "), Names{"Chad"});
    EXPECT_EQ(countriesMatching(catalogue, "United  "),
              (Names{"United Arab Emirates", "United Kingdom", "United States"}));
    EXPECT_EQ(countriesMatching(catalogue, " can"), Names{});
    EXPECT_EQ(countriesMatching(catalogue, " "), countriesMatching(catalogue, ""));
    EXPECT_EQ(countriesMatching(catalogue, "").size(), 237u);
    // Only the blank itself is trimmed.
    EXPECT_EQ(countriesMatching(catalogue, "Chad\t"), Names{});
}

TEST(CityCatalogueData, KeywordFoldsOnlyTheLettersAToZ) {
    CityCatalogue catalogue;
    // "Côte d'Ivoire": the ô is two other bytes than o.
    EXPECT_EQ(countriesMatching(catalogue, "co"),
              (Names{"Colombia", "Comoros", "Cook Islands", "Costa Rica"}));
    EXPECT_EQ(countriesMatching(catalogue, "c\xC3\xB4"), Names{"C\xC3\xB4te d'Ivoire"});
    EXPECT_EQ(countriesMatching(catalogue, "aland"), Names{});
    EXPECT_EQ(countriesMatching(catalogue, "\xC3\xA5land"), Names{});  // å is not folded to Å
    EXPECT_EQ(countriesMatching(catalogue, "\xC3\x85LAND"), Names{"\xC3\x85land Islands"});
    EXPECT_EQ(countriesMatching(catalogue, "r\xC3\xA9u"), Names{"R\xC3\xA9union"});
    EXPECT_EQ(countriesMatching(catalogue, "R\xC3\x89U"), Names{});  // nor é to É

    // Bytes a careless fold would pair up: @ and `, [ and {, and Latin-1 letters.
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("@a", "`a"));
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("[a", "{a"));
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("\xC4", "\xE4"));
    EXPECT_TRUE(CityCatalogue::MatchesKeyword("Zz", "zZ"));
    EXPECT_FALSE(CityCatalogue::MatchesKeyword("", "a"));
    EXPECT_TRUE(CityCatalogue::MatchesKeyword("", "  "));
}

// ---- The shipped country documents

TEST(CityCatalogueData, CountryWithASingleProvince) {
    CityCatalogue catalogue;
    CatalogueCountry& singapore = countryCoded(catalogue, "sg");
    catalogue.LoadProvinces(singapore);
    ASSERT_TRUE(singapore.provinces.has_value());
    ASSERT_EQ(singapore.provinces->size(), 1u);
    const CatalogueProvince& province = singapore.provinces->front();
    EXPECT_EQ(province.name, "Singapore");
    EXPECT_TRUE(province.regions.empty());
    ASSERT_EQ(province.cities.size(), 3u);
    EXPECT_EQ(province.cities[1].name, "Singapore");
    // The file escapes the ampersand once; the parser hands out the plain one.
    EXPECT_EQ(province.cities[1].param, "wc:1880252&q=Singapore%2c+SGP");
    EXPECT_EQ(namesOf(itemsMatching(province.cities, "w")), Names{"Woodlands"});
}

TEST(CityCatalogueData, ProvincesWithCitiesAndTheirSearch) {
    CityCatalogue catalogue;
    CatalogueCountry& canada = countryCoded(catalogue, "ca");
    catalogue.LoadProvinces(canada);
    ASSERT_EQ(canada.provinces->size(), 13u);
    const CatalogueProvince& alberta = canada.provinces->front();
    EXPECT_EQ(alberta.name, "Alberta");
    ASSERT_FALSE(alberta.cities.empty());
    EXPECT_EQ(alberta.cities[0].name, "Calgary");
    EXPECT_EQ(alberta.cities[0].param, "wc:5913490&q=Calgary%2c+CAN");
    size_t cities = 0;
    for (const CatalogueProvince& province : *canada.provinces) {
        EXPECT_TRUE(province.regions.empty()) << province.name;
        cities += province.cities.size();
    }
    EXPECT_EQ(cities, 120u);
    EXPECT_EQ(namesOf(itemsMatching(*canada.provinces, "n")),
              (Names{"New Brunswick", "Newfoundland and Labrador", "Northwest Territories",
                     "Nova Scotia", "Nunavut"}));
    const CatalogueProvince& newfoundland = (*canada.provinces)[4];
    EXPECT_EQ(namesOf(itemsMatching(newfoundland.cities, "st. j")), Names{"St. John's"});
}

TEST(CityCatalogueData, CountryWithSubProvinces) {
    CityCatalogue catalogue;
    CatalogueCountry& kingdom = countryCoded(catalogue, "gb");
    catalogue.LoadProvinces(kingdom);
    EXPECT_EQ(namesOf(itemsMatching(*kingdom.provinces, "")),
              (Names{"England", "Northern Ireland", "Scotland", "Wales"}));
    size_t regions = 0;
    for (const CatalogueProvince& province : *kingdom.provinces) {
        EXPECT_TRUE(province.cities.empty()) << province.name;
        EXPECT_FALSE(province.regions.empty()) << province.name;
        regions += province.regions.size();
    }
    EXPECT_EQ(regions, 185u);
    const CatalogueProvince& england = kingdom.provinces->front();
    ASSERT_GE(england.regions.size(), 4u);
    EXPECT_EQ(england.regions[0].name, "Barnsley");
    const CatalogueRegion& birmingham = england.regions[3];
    EXPECT_EQ(birmingham.name, "Birmingham");
    EXPECT_EQ(namesOf(itemsMatching(birmingham.cities, "")),
              (Names{"Bartley Green", "Birmingham", "Sutton Coldfield"}));
    EXPECT_EQ(birmingham.cities[1].param, "wc:2655603&q=Birmingham%2c+GBR");
    EXPECT_EQ(namesOf(itemsMatching(england.regions, "blackp")), Names{"Blackpool"});
}

TEST(CityCatalogueData, ADocumentIsParsedOnceUntilItIsUnloaded) {
    CountingLoader counting;
    CityCatalogue catalogue(counting.loader());
    CatalogueCountry& andorra = countryCoded(catalogue, "ad");
    catalogue.LoadProvinces(andorra);
    ASSERT_TRUE(andorra.provinces.has_value());
    const CatalogueProvince* first = &andorra.provinces->front();
    EXPECT_EQ(first->name, "Andorra la Vella");
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(counting.reads["IDR_ad"], 1);
    // Still the same objects: a second load must not replace what an open dialog points at.
    EXPECT_EQ(&andorra.provinces->front(), first);

    CityCatalogue::UnloadProvinces(andorra);
    EXPECT_FALSE(andorra.provinces.has_value());
    catalogue.LoadProvinces(andorra);
    EXPECT_EQ(counting.reads["IDR_ad"], 2);
    ASSERT_TRUE(andorra.provinces.has_value());
    EXPECT_EQ(andorra.provinces->size(), 7u);
    EXPECT_EQ(andorra.provinces->front().cities.front().param,
              "wc:3041563&q=Andorra+la+Vella%2c+AND");
    EXPECT_EQ(counting.reads.size(), 2u);  // the list and Andorra, nothing else
}

// ---- Stand-in documents: failures and malformed elements

TEST(CityCatalogue, MissingOrBrokenDocumentsLoadAsEmpty) {
    FakeDocuments documents;
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    documents.put("IDR_countrylist", "<countrylist><country name=\"A\" code=\"a\"/>");
    documents.put("IDR_broken", declaration +
                                    "<country name=\"B\"><prov name=\"P\">"
                                    "<city name=\"C\" param=\"p\"/></country>");
    documents.put("IDR_empty", "");
    documents.put("IDR_bare", declaration);
    documents.put("IDR_text", "not XML at all");
    CityCatalogue catalogue(documents.loader());

    // An unclosed country list gives no countries, and is not read again.
    EXPECT_TRUE(catalogue.LoadCountryList().empty());
    EXPECT_TRUE(catalogue.hasCountryList());
    EXPECT_TRUE(catalogue.LoadCountryList().empty());

    for (const char* code : {"missing", "broken", "empty", "bare", "text"}) {
        CatalogueCountry country{"Name", code, std::nullopt};
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
    FakeDocuments documents;
    documents.put("IDR_countrylist",
                  "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                  "<list>\r\n"
                  "  <country code=\"First\" name=\"x1\"/>\r\n"
                  "  <country name=\"Only a name\"/>\r\n"
                  "  <Country name=\"Wrong case\" code=\"wc\"/>\r\n"
                  "  <note a=\"b\" c=\"d\"/>\r\n"
                  "  <country name=\"S&amp;P &#x00E9;\" code=\"sp\" extra=\"ignored\">"
                  "<country name=\"Nested\" code=\"n\"/></country>\r\n"
                  "</list>\r\n");
    documents.put("IDR_sp",
                  "<country>\n"
                  "  <prov b=\"Mixed\">\n"
                  "    <city/>\n"
                  "    <city name=\"One attribute\"/>\n"
                  "    <city param=\"wc:1&amp;q=A\" name=\"A\" lat=\"1\" lon=\"2\"/>\n"
                  "    <subprov n=\"Region\">\n"
                  "      <city name=\"B\" param=\"wc:2\"/>\n"
                  "      <town name=\"T\" param=\"t\"/>\n"
                  "      <subprov name=\"Deeper\"><city name=\"D\" param=\"d\"/></subprov>\n"
                  "    </subprov>\n"
                  "    <subprov/>\n"
                  "    <Subprov name=\"Wrong case\"/>\n"
                  "    <city name=\"C\" param=\"wc:3\"/>\n"
                  "  </prov>\n"
                  "  <prov/>\n"
                  "  <province name=\"Other tag\"/>\n"
                  "  <prov name=\"Empty\"/>\n"
                  "</country>\n");
    CityCatalogue catalogue(documents.loader());

    std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    ASSERT_EQ(countries.size(), 2u);
    EXPECT_EQ(countries[0].name, "First");
    EXPECT_EQ(countries[0].code, "x1");
    EXPECT_EQ(countries[1].name, "S&P \xC3\xA9");
    EXPECT_EQ(countries[1].code, "sp");

    catalogue.LoadProvinces(countries[1]);
    EXPECT_EQ(documents.requests.back(), "IDR_sp");
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
    EXPECT_EQ(mixed.regions[0].cities[0].name, "B");
    EXPECT_EQ(mixed.regions[0].cities[0].param, "wc:2");
    const CatalogueProvince& empty = (*countries[1].provinces)[1];
    EXPECT_EQ(empty.name, "Empty");
    EXPECT_TRUE(empty.regions.empty());
    EXPECT_TRUE(empty.cities.empty());

    // Country codes go into the resource name as stored.
    catalogue.LoadProvinces(countries[0]);
    EXPECT_EQ(documents.requests.back(), "IDR_x1");
}

// ---- Every shipped document against the catalogue's rules

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF) without control
// characters (C0, DEL, C1).
bool isCleanText(const std::string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = bytes[i];
        uint32_t code = 0;
        size_t length = 0;
        if (lead < 0x80) {
            code = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1Fu;
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0Fu;
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07u;
            length = 4;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0u) != 0x80u) {
                return false;
            }
            code = (code << 6) | (bytes[i + k] & 0x3Fu);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string foldedAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;  // upper-case digits are not the catalogue's form
}

// Decodes the form-encoded query; none when it is not in the one canonical form: letters,
// digits and * - . _ as they are, "+" for a blank, every other byte as % and two lower-case
// hex digits.
std::optional<std::string> decodedQuery(const std::string& query) {
    std::string text;
    for (size_t i = 0; i < query.size(); ++i) {
        const char c = query[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '*' || c == '-' || c == '.' || c == '_';
        if (plain) {
            text += c;
        } else if (c == '+') {
            text += ' ';
        } else if (c == '%' && i + 2 < query.size() && hexValue(query[i + 1]) >= 0 &&
                   hexValue(query[i + 2]) >= 0) {
            const char byte =
                static_cast<char>(hexValue(query[i + 1]) * 16 + hexValue(query[i + 2]));
            const bool needed = !(byte >= 'a' && byte <= 'z') && !(byte >= 'A' && byte <= 'Z') &&
                                !(byte >= '0' && byte <= '9') && byte != '*' && byte != '-' &&
                                byte != '.' && byte != '_' && byte != ' ';
            if (!needed) {
                return std::nullopt;
            }
            text += byte;
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return text;
}

// Checks one city's param and answers its ISO3 code, or records a problem.
std::optional<std::string> checkParam(const CatalogueCity& city, std::set<std::string>& ids,
                                      std::vector<std::string>& problems) {
    const std::string& param = city.param;
    const size_t query = param.find("&q=");
    const std::string id = query == std::string::npos ? "" : param.substr(3, query - 3);
    const bool digits = !id.empty() && id.find_first_not_of("0123456789") == std::string::npos;
    if (param.rfind("wc:", 0) != 0 || !digits) {
        problems.push_back("param " + param + " of " + city.name);
        return std::nullopt;
    }
    if (!ids.insert(id).second) {
        problems.push_back("location " + id + " listed twice, again as " + city.name);
    }
    const std::optional<std::string> text = decodedQuery(param.substr(query + 3));
    const std::string prefix = city.name + ", ";
    if (!text || text->size() != prefix.size() + 3 || text->rfind(prefix, 0) != 0) {
        problems.push_back("query " + param + " of " + city.name);
        return std::nullopt;
    }
    const std::string iso3 = text->substr(prefix.size());
    for (char c : iso3) {
        if (c < 'A' || c > 'Z') {
            problems.push_back("country code in " + param);
            return std::nullopt;
        }
    }
    return iso3;
}

void checkName(const std::string& where, const std::string& name, std::set<std::string>& siblings,
               std::vector<std::string>& problems) {
    if (name.empty() || !isCleanText(name) || name.find('/') != std::string::npos) {
        problems.push_back(where + ": bad name \"" + name + "\"");
    }
    if (!siblings.insert(foldedAscii(name)).second) {
        problems.push_back(where + ": \"" + name + "\" twice");
    }
}

void checkCities(const std::string& where, const std::vector<CatalogueCity>& cities,
                 std::set<std::string>& ids, std::set<std::string>& iso3s,
                 std::vector<std::string>& problems) {
    if (cities.size() > 30) {
        problems.push_back(where + ": " + std::to_string(cities.size()) + " cities");
    }
    std::set<std::string> names;
    for (const CatalogueCity& city : cities) {
        checkName(where, city.name, names, problems);
        if (std::optional<std::string> iso3 = checkParam(city, ids, problems)) {
            iso3s.insert(*iso3);
        }
    }
}

TEST(CityCatalogueData, EveryDocumentKeepsTheShapeAndNamingRules) {
    CityCatalogue catalogue;
    std::vector<std::string> problems;
    std::set<std::string> ids;
    std::set<std::string> countryNames;
    std::map<std::string, std::string> countryOfIso3;
    size_t cityCount = 0;
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        checkName("country list", country.name, countryNames, problems);
        if (country.code.size() < 2 || country.code.size() > 4 ||
            country.code.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") !=
                std::string::npos) {
            problems.push_back("code \"" + country.code + "\"");
        }
        catalogue.LoadProvinces(country);
        const std::vector<CatalogueProvince>& provinces = *country.provinces;
        if (provinces.empty()) {
            problems.push_back(country.code + ": no province");
        }
        // France, Japan and the United Kingdom go through regions, everyone else directly.
        const bool regional = country.code == "fr" || country.code == "gb" || country.code == "jp";
        std::set<std::string> iso3s;
        std::set<std::string> provinceNames;
        for (const CatalogueProvince& province : provinces) {
            const std::string where = country.code + "/" + province.name;
            checkName(country.code, province.name, provinceNames, problems);
            if (regional ? !province.cities.empty() || province.regions.empty()
                         : !province.regions.empty() || province.cities.empty()) {
                problems.push_back(where + ": wrong level of cities");
            }
            checkCities(where, province.cities, ids, iso3s, problems);
            cityCount += province.cities.size();
            std::set<std::string> regionNames;
            for (const CatalogueRegion& region : province.regions) {
                checkName(where, region.name, regionNames, problems);
                if (region.cities.empty()) {
                    problems.push_back(where + "/" + region.name + ": no city");
                }
                checkCities(where + "/" + region.name, region.cities, ids, iso3s, problems);
                cityCount += region.cities.size();
            }
        }
        // One ISO3 code per country, and no two countries sharing one.
        if (iso3s.size() != 1) {
            problems.push_back(country.code + ": " + std::to_string(iso3s.size()) + " ISO3 codes");
        } else if (!countryOfIso3.emplace(*iso3s.begin(), country.code).second) {
            problems.push_back(country.code + " shares " + *iso3s.begin());
        }
        CityCatalogue::UnloadProvinces(country);
    }
    EXPECT_EQ(countryNames.size(), 237u);
    EXPECT_EQ(ids.size(), cityCount);
    EXPECT_GT(cityCount, 14000u);
    std::string report;
    for (size_t i = 0; i < problems.size() && i < 30; ++i) {
        report += problems[i] + "\n";
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, the first:\n" << report;
}

#ifndef _WIN32
// ---- The native stand-in for the program's resources

TEST(XmlResourceFiles, NamesAreCaseInsensitiveAndStayInsideTheDirectory) {
    const std::string directory = xmlResourceDirectory();
    const std::string list = test::readFile(directory + "/countrylist.xml");
    ASSERT_GT(list.size(), 3u);
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
    const std::optional<std::string> inner = loadXmlResource("IDR_X1");
    const std::optional<std::string> outside = loadXmlResource("IDR_../secret");
    const std::optional<std::string> absolute = loadXmlResource("IDR_/" + scratch.file("secret"));
    setXmlResourceDirectory(directory);
    EXPECT_EQ(inner, "<x/>");
    EXPECT_FALSE(outside.has_value());
    EXPECT_FALSE(absolute.has_value());
}
#endif

}  // namespace
}  // namespace brisalune
