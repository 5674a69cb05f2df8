// The stand-in services as the Windows tests see them: their address, taken from the
// environment that tools/with-fake-service.sh sets up, and a plain socket client for the
// control requests. The client shares nothing with the program's HTTP code, so what it reads is
// the answer exactly as the stand-in sent it.
#pragma once

#include <string>

namespace brisalune::test {

struct RawAnswer {
    int status = 0;
    std::string body;  // byte for byte
};

class FakeService {
  public:
    // Empty when the tests were not started through the launcher.
    static std::string baseUrl();

    // HTTP/1.0 request over a plain socket; status 0 when the service could not be reached.
    static RawAnswer raw(const std::string& method, const std::string& pathAndQuery,
                         const std::string& body = std::string());
    static std::string get(const std::string& pathAndQuery) {
        return raw("GET", pathAndQuery).body;
    }

    static void reset() { get("/_control/reset"); }
    // Sets a misbehaviour for every request to a path ("" to remove it).
    static void modeForPath(const std::string& path, const std::string& mode);
    // Requests the service counted for a raw location of data.aspx.
    static int countForLocation(const std::string& location);
    static int countForPath(const std::string& path);
    // The last kept POST body, byte for byte; and all of them as the service's JSON.
    static std::string lastPostBody();
    static std::string postsJson();

    static std::string weatherPath(const std::string& location) {
        return "/data.aspx?weadegreetype=F&wealocations=" + location;
    }
    static std::string weatherUrl(const std::string& location) {
        return baseUrl() + weatherPath(location);
    }
    // Percent-encodes a text for a query value of the control requests.
    static std::string queryValue(const std::string& text);
    // A port on 127.0.0.1 where nothing listens.
    static int closedPort();
};

// The text the reading rule makes of an answer, written out independently of the program's
// own code: every line feed becomes CR LF, and a last line without one gets one.
std::string linesWithCrLf(const std::string& body);

}  // namespace brisalune::test
