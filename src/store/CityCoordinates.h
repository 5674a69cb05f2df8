// Where the user's cities lie: found in the catalogue by their location parameter, which names
// the city's GeoNames id and its country ("wc:5913490&q=Calgary%2c+CAN"). A city list written
// before coordinates were used holds the same parameters, so its cities are found as well.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/CityCatalogue.h"

namespace brisalune {

// The GeoNames id and the country (ISO alpha-3, upper case) a location parameter names.
struct CityIdentity {
    uint32_t geonameId = 0;
    std::string country;
};
// Reads "wc:<digits>&q=<name>%2c+<three letters>", the ampersand also written "&amp;" as some
// catalogue documents deliver it. None for a parameter of another shape.
std::optional<CityIdentity> cityIdentityOf(std::string_view param);

// For one thread at a time: the worker asks it.
class CityCoordinates {
  public:
    CityCoordinates();
    explicit CityCoordinates(CityCatalogue::Loader loader);

    // None for a parameter of another shape, or a city the catalogue does not hold with
    // coordinates. The first call reads every country's document once and keeps only the
    // coordinates, sorted, so later calls only search them.
    std::optional<Coordinates> find(std::string_view param);

  private:
    // 24 bytes each, some 14,500 of them.
    struct Entry {
        uint32_t geonameId;
        std::array<char, 3> country;
        Coordinates at;
    };
    void build();

    CityCatalogue catalogue_;
    std::optional<std::vector<Entry>> index_;
};

}  // namespace brisalune
