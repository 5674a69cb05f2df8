#include "engine/HttpClient.h"
#include "engine/OpenMeteoSource.h"

namespace brisalune {

SourceAnswer OpenMeteoSource::FetchForecast(const Coordinates& at) {
    std::string answer;
    {
        HttpClient client(log_, deadline_);
        answer = client.Get(RequestUrl(at, origin_));
    }
    return ParseForecast(answer);
}

}  // namespace brisalune
