// The weather service: one city's forecast days, fetched by its location parameter and read
// from the service's XML answer.
#pragma once

#include <chrono>
#include <string>

#include "engine/HttpClient.h"
#include "engine/SourceAnswer.h"
#include "model/Records.h"

namespace brisalune {

class RefreshLog;

class MsnSource {
  public:
    // No city keeps more days than this, whatever the service sends.
    static constexpr size_t kMaxDays = 10;

    // The HTTP layer reports broken-off answers in this log. Tests shorten the deadline of the
    // download and name the service's "http://<host>" (empty: as RequestUrl finds it).
    explicit MsnSource(RefreshLog& log, std::chrono::milliseconds deadline = HttpClient::kDeadline,
                       std::string origin = std::string())
        : log_(log), deadline_(deadline), origin_(std::move(origin)) {}

    // Downloads and parses; an empty list when nothing usable arrived, which the engine reads
    // as a failed download. Windows builds only.
    ForecastList FetchForecast(const std::string& param);
    // The same, saying why there are no days.
    SourceAnswer FetchAnswer(const std::string& param);

    // The days of an answer in document order: one per `forecast` element under the root's
    // first child element, the first kMaxDays of them. Empty when the text is not XML or has no
    // such level.
    static ForecastList ParseForecast(const std::string& text);

    // The request for a location parameter, which is already in URL form and appended as it
    // is. BRISALUNE_WEATHER_URL, when set, takes the place of the service's "http://<host>",
    // so tests and the demo talk to a stand-in.
    static std::string RequestUrl(const std::string& param,
                                  const std::string& origin = std::string());

  private:
    RefreshLog& log_;
    std::chrono::milliseconds deadline_;
    std::string origin_;
};

}  // namespace brisalune
