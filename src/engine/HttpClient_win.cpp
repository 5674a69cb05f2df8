#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "base/WideText.h"
#include "engine/HttpClient.h"
#include "engine/HttpText.h"
#include "engine/RefreshLog.h"

namespace brisalune {

namespace {

// Cache bypassed both ways; an ASCII transfer, as the service's answers are text.
constexpr DWORD kGetFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
// A redirect answer to a form is handed back, never followed.
constexpr DWORD kPostFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kTimeoutMs = 5000;
// A read that fails loses the bytes it had already gathered, so reads never ask for more than
// has arrived; the waiting is done by InternetQueryDataAvailable, which holds no bytes.
constexpr DWORD kReadChunk = 16384;
// The message is fetched into 255 characters, its terminator included.
constexpr size_t kMessageLimit = 254;

class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_ != nullptr) {
            InternetCloseHandle(handle_);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    HINTERNET get() const { return handle_; }

  private:
    HINTERNET handle_;
};

// Wine ignores time-outs set only on the session for later connections, so they are set on
// every handle of the exchange; each handle takes what applies to it.
void applyOptions(HINTERNET handle) {
    static const std::pair<DWORD, DWORD> kOptions[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_DATA_SEND_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kTimeoutMs},
        {INTERNET_OPTION_CONNECT_RETRIES, 0},
    };
    for (const auto& [option, value] : kOptions) {
        DWORD setting = value;
        InternetSetOptionW(handle, option, &setting, sizeof setting);
    }
}

HINTERNET openSession() {
    return InternetOpenW(L"Brisalune", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;  // path and query
    bool secure = false;
};

bool crackUrl(const std::string& url, Target& target) {
    const std::wstring wide = widen(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    // Non-zero lengths ask for pointers into the URL rather than copies.
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (wide.empty() ||
        !InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        parts.lpszHostName == nullptr || parts.dwHostNameLength == 0) {
        return false;
    }
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    if (parts.lpszUrlPath != nullptr) {
        target.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    }
    if (parts.lpszExtraInfo != nullptr) {
        target.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    if (target.object.empty() || target.object[0] != L'/') {
        target.object.insert(0, L"/");
    }
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

// The system's wording of an error: WinInet's own codes are described by its module, socket
// and other codes by the system. Empty when neither has a message.
std::string errorMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = 0;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST) {
        if (HMODULE wininet = GetModuleHandleW(L"wininet.dll")) {
            length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, wininet, code, 0,
                                    reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        }
    }
    if (length == 0) {
        length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
                                reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    }
    std::wstring message;
    if (length != 0 && buffer != nullptr) {
        message.assign(buffer, std::min<size_t>(length, kMessageLimit));
        // A cut must not leave half of a surrogate pair behind.
        if (!message.empty() && message.back() >= 0xD800 && message.back() <= 0xDBFF) {
            message.pop_back();
        }
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    return narrow(message);
}

using Clock = std::chrono::steady_clock;

constexpr char kExceptionWord[] = "CInternetException * e";

struct Limits {
    Clock::time_point deadline;
    std::chrono::milliseconds allowed;
};

std::string readAnswer(HINTERNET request, RefreshLog& log, const Limits& limits) {
    AnswerLines lines;
    std::string buffer(kReadChunk, '\0');
    size_t received = 0;
    const auto fail = [&] {
        const DWORD code = GetLastError();
        log.append(kExceptionWord + errorMessage(code));
        return lines.abandon();
    };
    const auto refuse = [&](const std::string& why) {
        log.append(kExceptionWord + why);
        return std::string();
    };
    for (;;) {
        if (Clock::now() >= limits.deadline) {
            const auto seconds = (limits.allowed.count() + 999) / 1000;
            return refuse("The answer did not arrive within " + std::to_string(seconds) +
                          " seconds.");
        }
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
            return fail();
        }
        if (available == 0) {
            return lines.finish();
        }
        // One byte past the limit is enough to know the answer is too large.
        const size_t wanted =
            std::min({static_cast<size_t>(available), static_cast<size_t>(kReadChunk),
                      HttpClient::kMaxAnswerBytes + 1 - received});
        DWORD got = 0;
        if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(wanted), &got)) {
            return fail();
        }
        if (got == 0) {
            return lines.finish();
        }
        received += got;
        if (received > HttpClient::kMaxAnswerBytes) {
            return refuse("The answer is larger than " +
                          std::to_string(HttpClient::kMaxAnswerBytes >> 20) + " MiB.");
        }
        lines.feed(std::string_view(buffer.data(), got));
    }
}

struct Exchange {
    const wchar_t* verb;
    DWORD flags;
    const wchar_t* const* headers;  // null-terminated list
    const std::string* body;        // sent with its terminating zero byte; null for none
};

// Session, connection and request are closed in the reverse order of opening when the handles
// go out of scope, on every path.
std::string perform(const std::string& url, const Exchange& exchange, RefreshLog& log,
                    std::chrono::milliseconds allowed, int& status) {
    const Limits limits{Clock::now() + allowed, allowed};
    status = 0;
    InternetHandle session(openSession());
    if (!session) {
        return std::string();
    }
    applyOptions(session.get());
    Target target;
    if (!crackUrl(url, target)) {
        return std::string();
    }
    InternetHandle connection(InternetConnectW(session.get(), target.host.c_str(), target.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        return std::string();
    }
    applyOptions(connection.get());
    const DWORD flags = exchange.flags | (target.secure ? INTERNET_FLAG_SECURE : 0);
    InternetHandle request(HttpOpenRequestW(connection.get(), exchange.verb, target.object.c_str(),
                                            L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!request) {
        return std::string();
    }
    applyOptions(request.get());
    for (const wchar_t* const* header = exchange.headers; header && *header; ++header) {
        if (!HttpAddRequestHeadersW(request.get(), *header, static_cast<DWORD>(-1),
                                    HTTP_ADDREQ_FLAG_ADD_IF_NEW)) {
            return std::string();
        }
    }
    void* data = nullptr;
    DWORD dataLength = 0;
    if (exchange.body != nullptr) {
        data = const_cast<char*>(exchange.body->c_str());
        dataLength = static_cast<DWORD>(exchange.body->size() + 1);
    }
    if (!HttpSendRequestW(request.get(), nullptr, 0, data, dataLength)) {
        return std::string();
    }
    DWORD code = 0;
    DWORD size = sizeof code;
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                       nullptr)) {
        status = static_cast<int>(code);
    }
    return readAnswer(request.get(), log, limits);
}

}  // namespace

std::string HttpClient::Get(const std::string& url) {
    const Exchange exchange{L"GET", kGetFlags, nullptr, nullptr};
    return perform(url, exchange, log_, deadline_, status_);
}

std::string HttpClient::Post(const std::string& url) {
    static const wchar_t* const kHeaders[] = {
        L"Content-Type: application/x-www-form-urlencoded",
        L"Accept: */*",
        nullptr,
    };
    const Exchange exchange{L"POST", kPostFlags, kHeaders, &form_};
    return perform(url, exchange, log_, deadline_, status_);
}

}  // namespace brisalune
