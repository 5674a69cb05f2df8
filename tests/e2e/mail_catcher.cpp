// Stands in for the user's mail program: registered for mailto links during the whole-program
// tests, it appends the command line the shell started it with, as one UTF-8 line, to the file
// named by MAIL_CATCHER_FILE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const wchar_t* path = _wgetenv(L"MAIL_CATCHER_FILE");
    if (path == nullptr) {
        return 1;
    }
    const wchar_t* line = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), size, nullptr, nullptr);
    FILE* out = _wfopen(path, L"ab");
    if (out == nullptr) {
        return 1;
    }
    std::fprintf(out, "%s\n", text.c_str());
    std::fclose(out);
    return 0;
}
