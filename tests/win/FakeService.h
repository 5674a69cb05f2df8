// The stand-in services as the Windows tests see them: their address, from the environment that
// tools/with-fake-service.sh sets up, and a plain socket client that shares nothing with the
// program's HTTP code, so what it reads is the answer exactly as the stand-in sent it.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

namespace brisalune::test {

class FakeService {
  public:
    // Empty when the tests were not started through the launcher.
    static std::string baseUrl() {
        const char* url = std::getenv("BRISALUNE_WEATHER_URL");
        return url != nullptr ? url : "";
    }
    // The body of a GET's answer, whatever its status; empty when nothing answered.
    static std::string get(const std::string& pathAndQuery);
    // A control request ("reset", "mode", "count", "posts", ...; see the stand-in's --help).
    static std::string control(
        const std::string& verb,
        std::initializer_list<std::pair<std::string, std::string>> fields = {});
    // Requests counted for a "path" or a raw data.aspx "location".
    static int count(const std::string& field, const std::string& value) {
        return std::atoi(control("count", {{field, value}}).c_str());
    }
    // The last kept POST body, byte for byte.
    static std::string lastPostBody();
    // A port on 127.0.0.1 where nothing listens.
    static int closedPort();
};

}  // namespace brisalune::test
