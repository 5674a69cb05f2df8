#include "engine/WeatherCodes.h"

namespace brisalune {

namespace {

struct WmoRow {
    int wmoCode;
    SkyCondition condition;
};

// Daily codes are a day's most significant weather, so they take the day pictures. Intensity
// picks the picture where ours tell it apart (scattered, plain, heavy).
constexpr WmoRow kTable[] = {
    {0, {32, "Sunny"}},                    // clear sky
    {1, {34, "Mostly Sunny"}},             // mainly clear
    {2, {30, "Partly Sunny"}},             // partly cloudy
    {3, {26, "Cloudy"}},                   // overcast
    {45, {20, "Fog"}},                     // fog
    {48, {20, "Fog"}},                     // depositing rime fog
    {51, {9, "Drizzle"}},                  // drizzle: light
    {53, {9, "Drizzle"}},                  // moderate
    {55, {9, "Drizzle"}},                  // dense
    {56, {8, "Freezing Drizzle"}},         // freezing drizzle: light
    {57, {8, "Freezing Drizzle"}},         // dense
    {61, {12, "Rain"}},                    // rain: slight
    {63, {12, "Rain"}},                    // moderate
    {65, {40, "Heavy Rain"}},              // heavy
    {66, {10, "Freezing Rain"}},           // freezing rain: light
    {67, {10, "Freezing Rain"}},           // heavy
    {71, {13, "Flurries"}},                // snow fall: slight
    {73, {16, "Snow"}},                    // moderate
    {75, {42, "Heavy Snow"}},              // heavy
    {77, {13, "Flurries"}},                // snow grains
    {80, {39, "Scattered Showers"}},       // rain showers: slight
    {81, {11, "Showers"}},                 // moderate
    {82, {40, "Heavy Rain"}},              // violent
    {85, {41, "Scattered Snow Showers"}},  // snow showers: slight
    {86, {14, "Snow Showers"}},            // heavy
    {95, {4, "Thunderstorms"}},            // thunderstorm: slight or moderate
    {96, {17, "Hail"}},                    // thunderstorm with slight hail
    {99, {3, "Strong Storms"}},            // thunderstorm with heavy hail
};

constexpr SkyCondition kNotAvailable{44, "Not Available"};

}  // namespace

SkyCondition conditionOfWmoCode(int wmoCode) {
    for (const WmoRow& row : kTable) {
        if (row.wmoCode == wmoCode) {
            return row.condition;
        }
    }
    return kNotAvailable;
}

}  // namespace brisalune
