#include "store/CityCoordinates.h"

#include <algorithm>

namespace brisalune {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::array<char, 3> countryKey(const std::string& code) {
    return {code[0], code[1], code[2]};
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::optional<CityIdentity> cityIdentityOf(std::string_view param) {
    if (!startsWith(param, "wc:")) {
        return std::nullopt;
    }
    CityIdentity identity;
    size_t at = 3;
    uint64_t id = 0;
    while (at < param.size() && param[at] >= '0' && param[at] <= '9' && id <= UINT32_MAX) {
        id = id * 10 + static_cast<uint64_t>(param[at] - '0');
        ++at;
    }
    if (at == 3 || id > UINT32_MAX) {
        return std::nullopt;
    }
    identity.geonameId = static_cast<uint32_t>(id);
    const std::string_view rest = param.substr(at);
    if (!startsWith(rest, "&q=") && !startsWith(rest, "&amp;q=")) {
        return std::nullopt;
    }
    // The query ends in ", " and the country, form-encoded.
    if (param.size() < 7) {
        return std::nullopt;
    }
    const std::string_view country = param.substr(param.size() - 3);
    const std::string_view comma = param.substr(param.size() - 7, 4);
    if (!std::all_of(country.begin(), country.end(), isAsciiLetter) ||
        (comma != "%2c+" && comma != "%2C+")) {
        return std::nullopt;
    }
    for (char c : country) {
        identity.country.push_back(upper(c));
    }
    return identity;
}

CityCoordinates::CityCoordinates() = default;

CityCoordinates::CityCoordinates(CityCatalogue::Loader loader) : catalogue_(std::move(loader)) {}

void CityCoordinates::build() {
    index_.emplace();
    const auto add = [this](const std::vector<CatalogueCity>& cities) {
        for (const CatalogueCity& city : cities) {
            const std::optional<CityIdentity> identity = cityIdentityOf(city.param);
            if (identity && city.coordinates) {
                index_->push_back(
                    {identity->geonameId, countryKey(identity->country), *city.coordinates});
            }
        }
    };
    for (CatalogueCountry& country : catalogue_.LoadCountryList()) {
        catalogue_.LoadProvinces(country);
        for (const CatalogueProvince& province : *country.provinces) {
            add(province.cities);
            for (const CatalogueRegion& region : province.regions) {
                add(region.cities);
            }
        }
        // Only the coordinates are kept; the names would hold megabytes for nothing.
        CityCatalogue::UnloadProvinces(country);
    }
    std::sort(index_->begin(), index_->end(), [](const Entry& a, const Entry& b) {
        return a.geonameId != b.geonameId ? a.geonameId < b.geonameId : a.country < b.country;
    });
}

std::optional<Coordinates> CityCoordinates::find(std::string_view param) {
    const std::optional<CityIdentity> identity = cityIdentityOf(param);
    if (!identity) {
        return std::nullopt;
    }
    if (!index_) {
        build();
    }
    const auto byId = [](const Entry& entry, uint32_t id) { return entry.geonameId < id; };
    for (auto it = std::lower_bound(index_->begin(), index_->end(), identity->geonameId, byId);
         it != index_->end() && it->geonameId == identity->geonameId; ++it) {
        if (it->country == countryKey(identity->country)) {
            return it->at;
        }
    }
    return std::nullopt;
}

}  // namespace brisalune
