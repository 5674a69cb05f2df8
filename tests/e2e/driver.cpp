// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS   waits until the widget window exists
//   driver rows                  prints the number of rows and, per row, whether its condition
//                                picture and its status word are drawn
//   driver visible               prints 1 when the widget is shown, 0 when hidden
//   driver exit                  chooses Exit and answers Yes
//   driver escape                presses Escape in the widget
//   driver about [MS]            opens About from the tray menu, closes it with Escape after MS
//                                milliseconds (300) and prints 1 when the widget is in front again
//   driver click ID              clicks the widget's button ID
//   driver wait-dialog add|remove|query SECONDS
//                                waits until Add City, Remove City or a "Query" box is shown and
//                                brings it to the front
//   driver add-state | remove-state
//                                prints the dialog's title, its list's row count and selection,
//                                and whether the list has the focus
//   driver type TEXT             types the letters and blanks of TEXT on the keyboard
//   driver key down|up|return|escape
//                                presses the key on the keyboard
// Keys go through the system's input queue to whichever window has the focus, as a user's
// would. Exit code 0 on success, 1 on failure, 2 when the widget (or dialog) is not found.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "WinTestSupport.h"
#include "resource.h"

namespace {

// Waits up to `seconds` for `done`.
template <typename Done>
bool waitFor(Done done, int seconds = 5) {
    for (int i = 0; i < seconds * 10 && !done(); ++i) {
        Sleep(100);
    }
    return done();
}

// A dialog with that caption other than `not`; the widget is the one holding the city list.
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

int rows(HWND widget) {
    HWND list = GetDlgItem(widget, IDC_CITY_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::printf("rows %d\n", count);
    // Read through the screen's DC: another process's window DC answers no pixels under Wine.
    RECT client{};
    GetClientRect(list, &client);
    const brisalune::test::Canvas pixels(client.right, client.bottom, RGB(255, 255, 255));
    POINT origin{0, 0};
    ClientToScreen(list, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(pixels.dc(), 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    auto ink = [&](int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min<int>(bottom, client.bottom); ++y) {
            for (int x = std::max(left, 0); x < std::min<int>(right, client.right); ++x) {
                count += pixels.at(x, y) != RGB(255, 255, 255);
            }
        }
        return count;
    };
    for (int i = 0; i < count; ++i) {
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
        // The picture fills the row's first 65 pixels; the status word sits centred in the
        // row's bottom band, under the temperatures and above the sunken edge.
        const int middle = (item.left + item.right) / 2;
        std::printf("row %d picture %d status %d\n", i,
                    ink(item.left + 5, item.top + 5, item.left + 60, item.top + 50) > 100,
                    ink(middle - 30, item.bottom - 12, middle + 30, item.bottom - 3) > 0);
    }
    return 0;
}

// Add City by its keyword box and list (its title follows the level), Remove City and the
// Yes/No boxes by their captions.
HWND findCityDialog(const std::string& kind) {
    if (kind == "remove") {
        return findDialog(L"Remove City");
    }
    if (kind == "query") {
        return findDialog(L"Query");
    }
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr &&
           (GetDlgItem(window, IDC_KEYWORD) == nullptr ||
            GetDlgItem(window, IDC_CATALOGUE_LIST) == nullptr || !IsWindowVisible(window))) {
    }
    return window;
}

void press(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    // One key at a time, as a person types: every keystroke refilters and repaints.
    Sleep(120);
}

int type(const std::string& text) {
    for (const char c : text) {
        const SHORT key = VkKeyScanW(static_cast<wchar_t>(c));
        if (key == -1 || (key & 0xFF00) != 0) {
            std::printf("cannot type %c\n", c);
            return 1;
        }
        press(static_cast<WORD>(key & 0xFF));
    }
    return 0;
}

int listState(HWND dialog, int listId) {
    HWND list = GetDlgItem(dialog, listId);
    wchar_t caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    char title[768] = {};
    WideCharToMultiByte(CP_UTF8, 0, caption, -1, title, sizeof title, nullptr, nullptr);
    GUITHREADINFO input{};
    input.cbSize = sizeof input;
    const bool focused = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &input) &&
                         input.hwndFocus == list;
    std::printf("title %s\nrows %d\nselected %d\nfocus %d\n", title,
                static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)),
                static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)), focused ? 1 : 0);
    return 0;
}

int exitWithYes(HWND widget) {
    PostMessageW(widget, WM_COMMAND, ID_TRAY_EXIT, 0);
    HWND box = nullptr;
    if (!waitFor([&] { return (box = findDialog(L"Brisalune", widget)) != nullptr; }, 10)) {
        std::printf("no question appeared\n");
        return 1;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    return 0;
}

int aboutAndBack(HWND widget, int openFor) {
    PostMessageW(widget, WM_COMMAND, ID_TRAY_ABOUT, 0);
    HWND about = nullptr;
    if (!waitFor([&] { return (about = findDialog(L"About")) != nullptr; })) {
        std::printf("no About box\n");
        return 1;
    }
    Sleep(static_cast<DWORD>(openFor));
    PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
    if (!waitFor([&] { return !IsWindow(about); })) {
        std::printf("About stayed open\n");
        return 1;
    }
    Sleep(300);
    std::printf("%d\n", GetForegroundWindow() == widget ? 1 : 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::string word = argc > 2 ? argv[2] : "";
    if (command == "wait-dialog") {
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = findCityDialog(word)) != nullptr; },
                     argc > 3 ? std::atoi(argv[3]) : 30)) {
            return 2;
        }
        SetForegroundWindow(dialog);
        Sleep(200);
        return 0;
    }
    if (command == "add-state" || command == "remove-state") {
        const bool add = command == "add-state";
        HWND dialog = findCityDialog(add ? "add" : "remove");
        return dialog == nullptr ? 2
                                 : listState(dialog, add ? IDC_CATALOGUE_LIST : IDC_DEL_CITY_LIST);
    }
    if (command == "type") {
        return type(word);
    }
    if (command == "key") {
        const WORD key = word == "down"     ? VK_DOWN
                         : word == "up"     ? VK_UP
                         : word == "return" ? VK_RETURN
                         : word == "escape" ? VK_ESCAPE
                                            : 0;
        if (key == 0) {
            return 1;
        }
        press(key);
        return 0;
    }
    if (command == "wait-widget") {
        return waitFor([] { return findWidget() != nullptr; }, number) ? 0 : 2;
    }
    HWND widget = findWidget();
    if (widget == nullptr) {
        std::printf("no widget\n");
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
    if (command == "about") {
        return aboutAndBack(widget, argc > 2 ? number : 300);
    }
    if (command == "click") {
        PostMessageW(widget, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget, number)));
        return 0;
    }
    if (command == "escape") {
        PostMessageW(GetDlgItem(widget, IDC_CITY_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
        return 0;
    }
    std::printf("unknown command '%s'; see the top of driver.cpp\n", command.c_str());
    return 1;
}
