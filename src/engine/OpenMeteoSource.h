// The second weather source: Open-Meteo's forecast service, which needs no key. It is asked by
// a city's coordinates for each day's WMO weather code, highest and lowest temperature in
// degrees Fahrenheit and chance of precipitation, with dates in the city's own time zone, and
// its JSON answer becomes the same days the weather service gives.
#pragma once

#include <chrono>
#include <string>

#include "engine/HttpClient.h"
#include "engine/SourceAnswer.h"
#include "store/CityCatalogue.h"

namespace brisalune {

class RefreshLog;

class OpenMeteoSource {
  public:
    // No city keeps more days than this, whatever the service sends.
    static constexpr size_t kMaxDays = 10;

    // `origin` is the service's "scheme://host"; empty takes BRISALUNE_FORECAST_URL when set,
    // otherwise the public service.
    explicit OpenMeteoSource(RefreshLog& log,
                             std::chrono::milliseconds deadline = HttpClient::kDeadline,
                             std::string origin = std::string())
        : log_(log), deadline_(deadline), origin_(std::move(origin)) {}

    // Downloads and reads the forecast. Windows builds only.
    SourceAnswer FetchForecast(const Coordinates& at);

    // The days of an answer, or none with the reason. An answer that is not the documented
    // shape gives no day at all: not JSON, an error object, the daily lists missing, of
    // different lengths or holding something other than dates and numbers, temperatures not in
    // Fahrenheit. A day without a weather code or a temperature (the end of the service's
    // range) ends the list there; a missing chance of precipitation leaves the day's empty.
    static SourceAnswer ParseForecast(const std::string& text);

    static std::string RequestUrl(const Coordinates& at, const std::string& origin = std::string());

  private:
    RefreshLog& log_;
    std::chrono::milliseconds deadline_;
    std::string origin_;
};

}  // namespace brisalune
