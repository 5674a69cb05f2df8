// The stand-in services as the Windows tests see them: their address, from the environment that
// tools/with-fake-service.sh sets up, and a plain socket client that shares nothing with the
// program's HTTP code, so what it reads is the answer exactly as the stand-in sent it.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

namespace brisalune::test {

struct RawAnswer {
    int status = 0;  // 0 when the service could not be reached
    std::string body;
};

class FakeService {
  public:
    // Empty when the tests were not started through the launcher.
    static std::string baseUrl();
    static RawAnswer raw(const std::string& method, const std::string& pathAndQuery,
                         const std::string& body = std::string());
    static std::string get(const std::string& pathAndQuery) {
        return raw("GET", pathAndQuery).body;
    }
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

    static std::string weatherPath(const std::string& location) {
        return "/data.aspx?weadegreetype=F&wealocations=" + location;
    }
    static std::string weatherUrl(const std::string& location) {
        return baseUrl() + weatherPath(location);
    }
    // A port on 127.0.0.1 where nothing listens.
    static int closedPort();
};

// The text the reading rule makes of an answer, written out independently of the program's
// own code: every line feed becomes CR LF, and a last line without one gets one.
std::string linesWithCrLf(const std::string& body);

}  // namespace brisalune::test
