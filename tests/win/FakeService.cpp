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

}  // namespace

std::string FakeService::get(const std::string& pathAndQuery) {
    const std::string base = baseUrl();
    const sockaddr_in address = loopback(std::atoi(base.c_str() + base.rfind(':') + 1));
    Connection connection;
    const std::string request = "GET " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (connect(connection.socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0 ||
        send(connection.socket, request.data(), static_cast<int>(request.size()), 0) !=
            static_cast<int>(request.size())) {
        return "";
    }
    std::string received;
    char buffer[16384];
    for (int got; (got = recv(connection.socket, buffer, sizeof buffer, 0)) > 0;) {
        received.append(buffer, static_cast<size_t>(got));
    }
    const size_t headersEnd = received.find("\r\n\r\n");
    return headersEnd == std::string::npos ? "" : received.substr(headersEnd + 4);
}

std::string FakeService::control(
    const std::string& verb, std::initializer_list<std::pair<std::string, std::string>> fields) {
    std::string query;
    for (const auto& [name, value] : fields) {
        query += query.empty() ? "?" : "&";
        query += name + "=";
        for (const unsigned char byte : value) {
            query += "%" + std::string(1, "0123456789ABCDEF"[byte >> 4]) +
                     "0123456789ABCDEF"[byte & 0x0F];
        }
    }
    return get("/_control/" + verb + query);
}

std::string FakeService::lastPostBody() {
    const std::string hex = get("/_control/posts/-1");
    if (hex.find_first_not_of("0123456789abcdef\n") != std::string::npos) {
        return "";  // no post kept
    }
    std::string bytes;
    for (size_t i = 0; i + 2 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
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

}  // namespace brisalune::test
