#include "FakeService.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cctype>
#include <cstdlib>

namespace brisalune::test {

namespace {

class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSession() { WSACleanup(); }
};

class Socket {
  public:
    Socket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return socket_; }

  private:
    SOCKET socket_;
};

int servicePort() {
    const std::string base = FakeService::baseUrl();
    const size_t colon = base.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(base.c_str() + colon + 1);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

std::string FakeService::baseUrl() {
    const char* url = std::getenv("BRISALUNE_WEATHER_URL");
    return url != nullptr ? url : "";
}

RawAnswer FakeService::raw(const std::string& method, const std::string& pathAndQuery,
                           const std::string& body) {
    WinsockSession winsock;
    Socket connection;
    RawAnswer answer;
    const sockaddr_in address = loopback(servicePort());
    if (connection.get() == INVALID_SOCKET ||
        connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
        return answer;
    }
    std::string request = method + " " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!body.empty()) {
        request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n";
    }
    request += "Connection: close\r\n\r\n" + body;
    if (send(connection.get(), request.data(), static_cast<int>(request.size()), 0) !=
        static_cast<int>(request.size())) {
        return answer;
    }
    std::string received;
    char buffer[16384];
    for (;;) {
        const int got = recv(connection.get(), buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(got));
    }
    const size_t headersEnd = received.find("\r\n\r\n");
    if (received.compare(0, 5, "HTTP/") != 0 || headersEnd == std::string::npos) {
        return answer;
    }
    answer.status = std::atoi(received.c_str() + received.find(' ') + 1);
    answer.body = received.substr(headersEnd + 4);
    return answer;
}

std::string FakeService::queryValue(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.' || c == '~' || c == ':' ||
            c == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

void FakeService::modeForPath(const std::string& path, const std::string& mode) {
    get("/_control/mode?path=" + queryValue(path) + "&mode=" + queryValue(mode));
}

int FakeService::countForLocation(const std::string& location) {
    return std::atoi(get("/_control/count?location=" + queryValue(location)).c_str());
}

int FakeService::countForPath(const std::string& path) {
    return std::atoi(get("/_control/count?path=" + queryValue(path)).c_str());
}

std::string FakeService::lastPostBody() {
    const RawAnswer hex = raw("GET", "/_control/posts/-1");
    if (hex.status != 200) {
        return "(no post kept)";
    }
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.body.size(); i += 2) {
        if (std::isxdigit(static_cast<unsigned char>(hex.body[i])) == 0) {
            break;
        }
        bytes += static_cast<char>(std::stoi(hex.body.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::string FakeService::postsJson() {
    return get("/_control/posts");
}

int FakeService::closedPort() {
    WinsockSession winsock;
    Socket probe;
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length);
    // Closed when the probe goes: the port was free a moment ago and nobody listens on it.
    return ntohs(address.sin_port);
}

std::string linesWithCrLf(const std::string& body) {
    std::string text;
    for (const char c : body) {
        if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    if (!body.empty() && body.back() != '\n') {
        text += "\r\n";
    }
    return text;
}

}  // namespace brisalune::test
