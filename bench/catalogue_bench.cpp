// What browsing the catalogue costs: reading the country list, opening the largest country, and
// one keystroke's filtering at each level of the Add City dialog.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "store/CityCatalogue.h"

namespace brisalune {
namespace {

CatalogueCountry& countryCoded(CityCatalogue& catalogue, const std::string& code) {
    for (CatalogueCountry& country : catalogue.LoadCountryList()) {
        if (country.code == code) {
            return country;
        }
    }
    throw std::runtime_error("no country coded " + code);
}

void BM_LoadCountryList(benchmark::State& state) {
    for (auto _ : state) {
        CityCatalogue catalogue;
        benchmark::DoNotOptimize(catalogue.LoadCountryList().size());
    }
    state.SetLabel("237 countries, read and parsed");
}
BENCHMARK(BM_LoadCountryList)->Unit(benchmark::kMicrosecond);

void BM_LoadProvincesOfUnitedStates(benchmark::State& state) {
    CityCatalogue catalogue;
    CatalogueCountry& country = countryCoded(catalogue, "us");
    for (auto _ : state) {
        CityCatalogue::UnloadProvinces(country);
        catalogue.LoadProvinces(country);
        benchmark::DoNotOptimize(country.provinces->size());
    }
    state.SetLabel("us: 51 provinces, 1,021 cities, read and parsed");
}
BENCHMARK(BM_LoadProvincesOfUnitedStates)->Unit(benchmark::kMicrosecond);

void BM_FilterCountries(benchmark::State& state) {
    CityCatalogue catalogue;
    const std::vector<CatalogueCountry>& countries = catalogue.LoadCountryList();
    for (auto _ : state) {
        benchmark::DoNotOptimize(itemsMatching(countries, catalogue.Keyword("ca")));
    }
    state.SetLabel("\"ca\" over 237 countries");
}
BENCHMARK(BM_FilterCountries)->Unit(benchmark::kMicrosecond);

void BM_FilterProvinces(benchmark::State& state) {
    CityCatalogue catalogue;
    CatalogueCountry& country = countryCoded(catalogue, "us");
    catalogue.LoadProvinces(country);
    for (auto _ : state) {
        benchmark::DoNotOptimize(itemsMatching(*country.provinces, catalogue.Keyword("new ")));
    }
    state.SetLabel("\"new \" over the 51 provinces of us");
}
BENCHMARK(BM_FilterProvinces)->Unit(benchmark::kMicrosecond);

void BM_FilterCities(benchmark::State& state) {
    CityCatalogue catalogue;
    CatalogueCountry& country = countryCoded(catalogue, "us");
    catalogue.LoadProvinces(country);
    const CatalogueProvince* california = nullptr;
    for (const CatalogueProvince& province : *country.provinces) {
        if (province.name == "California") {
            california = &province;
        }
    }
    if (california == nullptr) {
        state.SkipWithError("no California in us");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(itemsMatching(california->cities, catalogue.Keyword("san ")));
    }
    state.SetLabel("\"san \" over the " + std::to_string(california->cities.size()) +
                   " cities of California");
}
BENCHMARK(BM_FilterCities)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brisalune
