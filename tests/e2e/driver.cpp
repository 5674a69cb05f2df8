// Drives a running Brisalune from outside, as a user would, with window messages and keys.
//   wait-widget SECONDS            waits until the widget window exists
//   rows                           the row count, and per row whether its condition picture and
//                                  its status word are drawn
//   visible                        1 when the widget is shown, 0 when hidden
//   exit                           chooses Exit and answers Yes
//   command ID                     sends the widget the menu command ID
//   open-row N                     selects row N and presses Enter on it
//   run-entry start|remove         starts the start-on-boot entry's command line (printed in
//                                  hex), or removes the entry
//   wait-dialog add|remove|query SECONDS  waits for Add City, Remove City or a "Query" box and
//                                  brings it to the front
//   state add|remove               that dialog's title (hex), its list's rows and selection,
//                                  and whether the list has the focus
//   type TEXT | key down|return    keys through the system's input queue, as a user's
// About the dialog shown over the widget (exit code 3 when there is none):
//   dialog                         its caption (UTF-8 in hex)
//   click ID | text ID | escape-dialog
// Exit code 0 on success, 1 on failure, 2 when the widget (or the city dialog) is not found.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "WinTestSupport.h"
#include "resource.h"

namespace {

using brisalune::test::Canvas;

template <typename Done>
bool waitFor(Done done, int seconds = 5) {
    for (int i = 0; i < seconds * 10 && !done(); ++i) {
        Sleep(100);
    }
    return done();
}

// A dialog with that caption other than `not_`; the widget is the one holding the city list.
HWND findDialog(const wchar_t* caption, HWND not_ = nullptr) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", caption)) == not_ &&
           window != nullptr) {
    }
    return window;
}

HWND findWidget() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", L"Brisalune")) != nullptr &&
           GetDlgItem(window, IDC_CITY_LIST) == nullptr) {
    }
    return window;
}

// Add City by its keyword box and list (its title follows the level), the others by caption.
HWND findCityDialog(const std::string& kind) {
    if (kind != "add") {
        return findDialog(kind == "remove" ? L"Remove City" : L"Query");
    }
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr &&
           (GetDlgItem(window, IDC_CATALOGUE_LIST) == nullptr || !IsWindowVisible(window))) {
    }
    return window;
}

// The window's client area read through the screen's DC: another process's window DC answers
// no pixels under Wine.
struct Shot : Canvas {
    Shot(HWND window, RECT client) : Canvas(client.right, client.bottom, 0) {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        HDC screen = GetDC(nullptr);
        BitBlt(dc(), 0, 0, width(), height(), screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
    int ink(int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, height()); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, width()); ++x) {
                count += at(x, y) != RGB(255, 255, 255);
            }
        }
        return count;
    }
};

int rows(HWND widget) {
    HWND list = GetDlgItem(widget, IDC_CITY_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::printf("rows %d\n", count);
    RECT client{};
    GetClientRect(list, &client);
    const Shot shot(list, client);
    for (int i = 0; i < count; ++i) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        // The picture fills the row's first 65 pixels; the status word sits centred in the
        // bottom band.
        const int middle = (r.left + r.right) / 2;
        std::printf("row %d picture %d status %d\n", i,
                    shot.ink(r.left + 5, r.top + 5, r.left + 60, r.top + 50) > 100,
                    shot.ink(middle - 30, r.bottom - 12, middle + 30, r.bottom - 3) > 0);
    }
    return 0;
}

std::string hex(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, 0);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::string out;
    char digits[4];
    for (unsigned char c : utf8.substr(0, utf8.size() - 1)) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        out += digits;
    }
    return out;
}

std::wstring windowText(HWND window) {
    static wchar_t text[1 << 20];
    text[0] = L'\0';
    SendMessageW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// The visible dialog owned by the widget, or by one of its dialogs: a message box a dialog
// shows after it has ended is owned by that dialog, hidden by then.
HWND shownDialog(HWND widget) {
    struct Search {
        HWND owner, found;
    } search{widget, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            HWND owner = GetWindow(window, GW_OWNER);
            while (owner != nullptr && owner != s->owner) {
                owner = GetWindow(owner, GW_OWNER);
            }
            if (owner != nullptr && IsWindowVisible(window) && std::wstring(kind) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int runEntry(const std::string& action) {
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    if (action == "remove") {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"Brisalune");
        return 0;
    }
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"Brisalune", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return 1;
    }
    std::printf("%s\n", hex(value).c_str());
    // Started as the system starts it at log-on: by the command line alone.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, value, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

void pressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    // One key at a time, as a person types: every keystroke refilters and repaints.
    Sleep(120);
}

int cityDialogCommand(const std::string& command, const std::string& word, int seconds) {
    if (command == "wait-dialog") {
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = findCityDialog(word)) != nullptr; }, seconds)) {
            return 2;
        }
        SetForegroundWindow(dialog);
        Sleep(200);
        return 0;
    }
    if (command == "state") {
        HWND dialog = findCityDialog(word);
        if (dialog == nullptr) {
            return 2;
        }
        HWND list = GetDlgItem(dialog, word == "add" ? IDC_CATALOGUE_LIST : IDC_DEL_CITY_LIST);
        GUITHREADINFO input{};
        input.cbSize = sizeof input;
        const bool focused = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &input) &&
                             input.hwndFocus == list;
        std::printf("title %s\nrows %d\nselected %d\nfocus %d\n", hex(windowText(dialog)).c_str(),
                    static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)),
                    static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)), focused ? 1 : 0);
        return 0;
    }
    if (command == "type") {
        for (const char c : word) {
            pressKey(static_cast<WORD>(VkKeyScanW(static_cast<wchar_t>(c)) & 0xFF));
        }
        return 0;
    }
    pressKey(word == "down" ? VK_DOWN : VK_RETURN);
    return 0;
}

int exitWithYes(HWND widget) {
    PostMessageW(widget, WM_COMMAND, ID_TRAY_EXIT, 0);
    HWND box = nullptr;
    if (!waitFor([&] { return (box = findDialog(L"Brisalune", widget)) != nullptr; }, 10)) {
        return 1;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    return 0;
}

int dialogCommand(HWND dialog, const std::string& command, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (command == "dialog") {
        std::printf("%s\n", hex(windowText(dialog)).c_str());
    } else if (command == "click") {
        SendMessageW(control, BM_CLICK, 0, 0);
    } else if (command == "text") {
        std::printf("%s\n", hex(windowText(control)).c_str());
    } else if (command == "escape-dialog") {
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        std::printf("unknown command '%s'; see the top of driver.cpp\n", command.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const std::string word = argc > 2 ? argv[2] : "";
    const int number = std::atoi(word.c_str());
    if (command == "wait-widget") {
        return waitFor([] { return findWidget() != nullptr; }, number) ? 0 : 2;
    }
    if (command == "run-entry") {
        return runEntry(word);
    }
    for (const char* city : {"wait-dialog", "state", "type", "key"}) {
        if (command == city) {
            return cityDialogCommand(command, word, argc > 3 ? std::atoi(argv[3]) : 30);
        }
    }
    HWND widget = findWidget();
    if (widget == nullptr) {
        return 2;
    }
    if (command == "rows") {
        return rows(widget);
    }
    if (command == "visible") {
        std::printf("%d\n", IsWindowVisible(widget) ? 1 : 0);
        return 0;
    }
    if (command == "exit") {
        return exitWithYes(widget);
    }
    if (command == "command") {
        PostMessageW(widget, WM_COMMAND, static_cast<WPARAM>(number), 0);
        return 0;
    }
    if (command == "open-row") {
        HWND list = GetDlgItem(widget, IDC_CITY_LIST);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(number), 0);
        PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
        return 0;
    }
    HWND dialog = shownDialog(widget);
    return dialog == nullptr ? 3 : dialogCommand(dialog, command, number);
}
