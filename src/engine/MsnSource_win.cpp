#include "engine/HttpClient.h"
#include "engine/MsnSource.h"

namespace brisalune {

ForecastList MsnSource::FetchForecast(const std::string& param) {
    return FetchAnswer(param).days;
}

SourceAnswer MsnSource::FetchAnswer(const std::string& param) {
    std::string answer;
    {
        HttpClient client(log_, deadline_);
        answer = client.Get(RequestUrl(param, origin_));
    }
    if (answer.empty()) {
        return SourceAnswer{ForecastList(), "no answer"};
    }
    ForecastList days = ParseForecast(answer);
    if (days.empty()) {
        return SourceAnswer{ForecastList(), "no forecast in the answer"};
    }
    return SourceAnswer{std::move(days), std::string()};
}

}  // namespace brisalune
