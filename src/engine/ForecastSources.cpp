#include "engine/ForecastSources.h"

#include "base/Texts.h"
#include "engine/RefreshLog.h"

namespace brisalune {

ForecastSources::ForecastSources(RefreshLog& log, Fetches fetches)
    : log_(log), fetches_(std::move(fetches)) {}

SourceAnswer ForecastSources::ask(const std::string& param, const Coordinates* at) {
    SourceAnswer answer = at != nullptr ? fetches_.openMeteo(*at) : fetches_.service(param);
    if (answer.problem.empty() && answer.days.empty()) {
        answer.problem = "no days in the answer";
    }
    if (answer.problem.empty() && currentDays(answer.days, fetches_.today()).outdated) {
        answer.days.clear();
        answer.problem = "all its days lie in the past";
    }
    return answer;
}

ForecastList ForecastSources::Fetch(WeatherJob& job) {
    // Looked up only when Open-Meteo is to be asked: most cities never need it.
    std::optional<std::optional<Coordinates>> at;
    const auto coordinates = [&]() -> const std::optional<Coordinates>& {
        if (!at) {
            at = fetches_.coordinates ? fetches_.coordinates(job.param)
                                      : std::optional<Coordinates>();
        }
        return *at;
    };
    const ForecastSource other = job.source == ForecastSource::OpenMeteo
                                     ? ForecastSource::WeatherService
                                     : ForecastSource::OpenMeteo;
    for (const ForecastSource source : {job.source, other}) {
        const Coordinates* where = nullptr;
        if (source == ForecastSource::OpenMeteo) {
            if (!coordinates()) {
                continue;
            }
            where = &*coordinates();
        }
        SourceAnswer answer = ask(job.param, where);
        if (answer.problem.empty()) {
            job.source = source;
            return std::move(answer.days);
        }
        log_.append("\r\n" + job.name + " no forecast from " + sourceName(source) + " (" +
                    answer.problem + ") " + timeText());
    }
    return ForecastList();
}

}  // namespace brisalune
