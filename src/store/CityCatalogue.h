// The built-in, read-only directory of countries, provinces, regions and cities from which the
// user picks a city to add.
#pragma once

#include <functional>
#include <optional>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

namespace brisalune {

// A place on the globe in degrees, north and east positive.
struct Coordinates {
    double latitude = 0;
    double longitude = 0;
};

// Every entry may carry a search key: its name without accents and case, as the catalogue's
// generator folded it. Empty where the name, with A-Z lowered, is its own key.
struct CatalogueCity {
    std::string name;
    // Handed on unchanged to the city list and the weather request.
    std::string param;
    std::string key;
    // From the city's lat and lon attributes; none when either is missing or not a number in
    // range. The forecast service is asked by them.
    std::optional<Coordinates> coordinates;
};

struct CatalogueRegion {
    std::string name;
    std::vector<CatalogueCity> cities;
    std::string key;
};

struct CatalogueProvince {
    std::string name;
    std::vector<CatalogueRegion> regions;
    std::vector<CatalogueCity> cities;
    std::string key;
};

struct CatalogueCountry {
    std::string name;
    // Lower case as stored; names the country's document ("IDR_" + code) and its flag.
    std::string code;
    // None until loaded; a country whose document is missing or broken loads as an empty list.
    std::optional<std::vector<CatalogueProvince>> provinces;
    std::string key;
};

// A keyword as typed, ready for matching: trailing blanks dropped (leading ones count, so they
// match nothing), then folded as the catalogue's keys are.
struct SearchKeyword {
    std::string folded;
};

class CityCatalogue {
  public:
    // Hands out a document's bytes by resource name, or none.
    using Loader = std::function<std::optional<std::string>(const std::string& name)>;

    // Reads the documents with loadXmlResource.
    CityCatalogue();
    explicit CityCatalogue(Loader loader);
    virtual ~CityCatalogue() = default;
    CityCatalogue(const CityCatalogue&) = delete;
    CityCatalogue& operator=(const CityCatalogue&) = delete;

    // The countries in document order. The first call reads the list; it is then kept for the
    // catalogue's life, so references into it stay valid. A missing or broken list is empty.
    std::vector<CatalogueCountry>& LoadCountryList();
    bool hasCountryList() const { return countries_.has_value(); }

    // Reads the country's document unless its provinces are already there.
    void LoadProvinces(CatalogueCountry& country) const;
    // Frees the country's provinces, so that the next LoadProvinces reads the document anew.
    // References into them become invalid.
    static void UnloadProvinces(CatalogueCountry& country);

    // Folds the typed keyword with the folding table the country list carries, so that "zur"
    // and "ZÜR" both find "Zürich". Before the list is loaded only A-Z are folded.
    SearchKeyword Keyword(std::string_view typed) const;

    // A prefix match on bytes, folding only A-Z, after the keyword's trailing blanks are
    // dropped (leading ones count). An empty keyword matches all.
    static bool MatchesKeyword(std::string_view name, std::string_view keyword);

    // The Add City dialog's search at any level: the entry's key starts with the keyword.
    template <typename Item>
    static bool Matches(const Item& item, const SearchKeyword& keyword) {
        return MatchesKeyword(item.key.empty() ? item.name : item.key, keyword.folded);
    }

  private:
    Loader loader_;
    std::optional<std::vector<CatalogueCountry>> countries_;
    std::unordered_map<char32_t, std::string> folding_;
};

// The items of one level that match the keyword, in catalogue order.
template <typename Item>
std::vector<const Item*> itemsMatching(const std::vector<Item>& items,
                                       const SearchKeyword& keyword) {
    std::vector<const Item*> matching;
    for (const Item& item : items) {
        if (CityCatalogue::Matches(item, keyword)) {
            matching.push_back(&item);
        }
    }
    return matching;
}

}  // namespace brisalune
