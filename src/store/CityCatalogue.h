// The built-in, read-only directory of countries, provinces, regions and cities from which the
// user picks a city to add.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisalune {

// A place on the globe in degrees, north and east positive.
struct Coordinates {
    double latitude = 0;
    double longitude = 0;
};

struct CatalogueCity {
    std::string name;
    // Handed on unchanged to the city list and the weather request.
    std::string param;
    // From the city's lat and lon attributes; none when either is missing or not a number in
    // range. The forecast service is asked by them.
    std::optional<Coordinates> coordinates;
};

struct CatalogueRegion {
    std::string name;
    std::vector<CatalogueCity> cities;
};

struct CatalogueProvince {
    std::string name;
    std::vector<CatalogueRegion> regions;
    std::vector<CatalogueCity> cities;
};

struct CatalogueCountry {
    std::string name;
    // Lower case as stored; names the country's document ("IDR_" + code) and its flag.
    std::string code;
    // None until loaded; a country whose document is missing or broken loads as an empty list.
    std::optional<std::vector<CatalogueProvince>> provinces;
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

    // The Add City dialog's search: a prefix match on bytes, folding only A-Z, after the
    // keyword's trailing blanks are dropped (leading ones count). An empty keyword matches all.
    static bool MatchesKeyword(std::string_view name, std::string_view keyword);

  private:
    Loader loader_;
    std::optional<std::vector<CatalogueCountry>> countries_;
};

// The items of one level whose names match the keyword, in catalogue order.
template <typename Item>
std::vector<const Item*> itemsMatching(const std::vector<Item>& items, std::string_view keyword) {
    std::vector<const Item*> matching;
    for (const Item& item : items) {
        if (CityCatalogue::MatchesKeyword(item.name, keyword)) {
            matching.push_back(&item);
        }
    }
    return matching;
}

}  // namespace brisalune
