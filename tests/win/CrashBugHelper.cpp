// Stands in for the bug-report program: it leaves bug-ran.txt beside itself saying how many
// arguments it was given and which directory it was started in (UTF-8), then ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[1024] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, 1024);
    std::wstring marker(self, length);
    marker.resize(marker.find_last_of(L'\\') + 1);
    marker += L"bug-ran.txt";

    int count = 0;
    LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
    wchar_t current[1024] = {};
    GetCurrentDirectoryW(1024, current);
    const std::wstring text = L"arguments " + std::to_wstring(count - 1) + L"\n" + current;

    const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    char utf8[4096] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          utf8, sizeof utf8, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
    return 0;
}
