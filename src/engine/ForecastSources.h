// A city's forecast from whichever of its two sources has one: the weather service, asked by
// the city's location parameter, and Open-Meteo, asked by its coordinates in the catalogue. The
// source that last gave the city a good forecast is asked first; when it gives nothing current
// (no answer, a bad one, no days, or days that all lie in the past) the other is asked in the
// same attempt. So a city whose first source has died costs one failed exchange the first
// time, and none after: it stays with the second source as long as that one answers.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/SourceAnswer.h"
#include "model/ForecastDates.h"
#include "store/CityCatalogue.h"

namespace brisalune {

class RefreshLog;

class ForecastSources {
  public:
    struct Fetches {
        std::function<SourceAnswer(const std::string& param)> service;
        std::function<SourceAnswer(const Coordinates& at)> openMeteo;
        // None for a city that has no second source.
        std::function<std::optional<Coordinates>(const std::string& param)> coordinates;
        std::function<CalendarDate()> today = localToday;
    };

    // Each source that fails is written to this log on a line of its own, so the log says why
    // a city moved or failed; the result line is the engine's.
    ForecastSources(RefreshLog& log, Fetches fetches);

    // Runs on the worker thread. Reads the job's parameter and source; when a source has current
    // days the job comes back naming it. No days when neither has.
    ForecastList Fetch(WeatherJob& job);

  private:
    // Open-Meteo when `at` is given, the weather service otherwise.
    SourceAnswer ask(const std::string& param, const Coordinates* at);

    RefreshLog& log_;
    Fetches fetches_;
};

}  // namespace brisalune
