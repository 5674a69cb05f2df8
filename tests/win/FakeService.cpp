#include "FakeService.h"

#include <winsock2.h>

namespace brisalune::test {

namespace {

struct Connection {
    Connection() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    }
    ~Connection() {
        closesocket(socket);
        WSACleanup();
    }
    SOCKET socket;
};

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::string percentEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char byte : text) {
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

}  // namespace

std::string FakeService::baseUrl() {
    const char* url = std::getenv("BRISALUNE_WEATHER_URL");
    return url != nullptr ? url : "";
}

RawAnswer FakeService::raw(const std::string& method, const std::string& pathAndQuery,
                           const std::string& body) {
    const std::string base = baseUrl();
    const sockaddr_in address = loopback(std::atoi(base.c_str() + base.rfind(':') + 1));
    Connection connection;
    std::string request = method + " " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                          "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    RawAnswer answer;
    if (connect(connection.socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0 ||
        send(connection.socket, request.data(), static_cast<int>(request.size()), 0) !=
            static_cast<int>(request.size())) {
        return answer;
    }
    std::string received;
    char buffer[16384];
    for (int got; (got = recv(connection.socket, buffer, sizeof buffer, 0)) > 0;) {
        received.append(buffer, static_cast<size_t>(got));
    }
    const size_t headersEnd = received.find("\r\n\r\n");
    if (received.compare(0, 5, "HTTP/") == 0 && headersEnd != std::string::npos) {
        answer.status = std::atoi(received.c_str() + received.find(' ') + 1);
        answer.body = received.substr(headersEnd + 4);
    }
    return answer;
}

std::string FakeService::control(
    const std::string& verb, std::initializer_list<std::pair<std::string, std::string>> fields) {
    std::string query;
    for (const auto& [name, value] : fields) {
        query += (query.empty() ? "?" : "&") + name + "=" + percentEncoded(value);
    }
    return get("/_control/" + verb + query);
}

std::string FakeService::lastPostBody() {
    const RawAnswer hex = raw("GET", "/_control/posts/-1");
    std::string bytes;
    for (size_t i = 0; hex.status == 200 && i + 2 < hex.body.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.body.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

int FakeService::closedPort() {
    Connection probe;
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    bind(probe.socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe.socket, reinterpret_cast<sockaddr*>(&address), &length);
    // Closed when the probe goes: the port was free a moment ago and nobody listens on it.
    return ntohs(address.sin_port);
}

std::string linesWithCrLf(const std::string& body) {
    std::string text;
    for (const char c : body) {
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    if (!body.empty() && body.back() != '\n') {
        text += "\r\n";
    }
    return text;
}

}  // namespace brisalune::test
