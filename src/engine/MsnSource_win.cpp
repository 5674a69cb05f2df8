#include "engine/HttpClient.h"
#include "engine/MsnSource.h"

namespace brisalune {

ForecastList MsnSource::FetchForecast(const std::string& param) {
    std::string answer;
    {
        HttpClient client(log_, deadline_);
        answer = client.Get(RequestUrl(param));
    }
    return ParseForecast(answer);
}

}  // namespace brisalune
