#include <windows.h>

#include <vector>

#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"

namespace brisalune {

std::string programPath() {
    // Long paths are fine: the buffer grows until the whole path fits.
    std::vector<wchar_t> buffer(512);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            return narrow(std::wstring(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string programDirectory() {
    return directoryOf(programPath());
}

unsigned long fileVersion(const std::string& path, uint16_t& major, uint16_t& minor) {
    const std::wstring file = widen(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) {
        return GetLastError();
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        return GetLastError();
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr) {
        return GetLastError();
    }
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    return 1;
}

std::string versionText(bool withSystem) {
    uint16_t major = 0;
    uint16_t minor = 0;
    fileVersion(programPath(), major, minor);
    char text[256];
    if (!withSystem) {
        snprintf(text, sizeof text, "%d.%d", major, minor);
        return text;
    }
    OSVERSIONINFOEXW system{};
    system.dwOSVersionInfoSize = sizeof system;
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&system))) {
        snprintf(text, sizeof text, "brisalune %d.%d / windows (%d.%d-%d.%d)", major, minor,
                 static_cast<int>(system.dwMajorVersion), static_cast<int>(system.dwMinorVersion),
                 static_cast<int>(system.dwPlatformId), static_cast<int>(system.wProductType));
    } else {
        snprintf(text, sizeof text, "brisalune %d.%d / windows", major, minor);
    }
    return text;
}

std::wstring utf8ToWide(const std::string& text, size_t capacity) {
    if (capacity == 0) {
        return std::wstring();
    }
    std::wstring result = widen(text);
    if (result.size() > capacity - 1) {
        size_t keep = capacity - 1;
        // A high surrogate without its partner would show as a broken character.
        if (keep > 0 && result[keep - 1] >= 0xD800 && result[keep - 1] <= 0xDBFF) {
            --keep;
        }
        result.resize(keep);
    }
    return result;
}

}  // namespace brisalune
