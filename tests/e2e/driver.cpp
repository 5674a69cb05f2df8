// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS   waits until the widget window exists
//   driver rows                  prints the number of rows and, per row, whether its condition
//                                picture and its status word are drawn
//   driver visible               prints 1 when the widget is shown, 0 when hidden
//   driver exit                  chooses Exit and answers Yes
//   driver escape                presses Escape in the widget
//   driver about [MS]            opens About from the tray menu, closes it with Escape after MS
//                                milliseconds (300) and prints 1 when the widget is in front again
//   driver press ID              clicks the widget's button ID
//   driver command ID            sends the widget the menu command ID
//   driver open-row N            selects row N and presses Enter on it
//   driver row-temperatures      prints, per row, a checksum of its temperature band
//   driver dialog                prints the dialog shown over the widget: its caption (UTF-8 in
//                                hex) and its window rectangle
//   driver days                  prints, per day place of that dialog, whether its condition
//                                picture, its texts and its temperatures are drawn
//   driver choose ID INDEX       picks entry INDEX of that dialog's combo box ID
//   driver click ID              clicks that dialog's button ID
//   driver controls              prints that dialog's combo selections and check box
//   driver text ID               prints the text of that dialog's control ID in hex
//   driver set-text ID TEXT      sets the text of that dialog's control ID
//   driver escape-dialog         presses Escape in that dialog
//   driver more-menu INDEX       opens the More menu and chooses its item INDEX
//   driver screenshot FILE       writes the screen as Wine draws it to FILE (PPM)
//   driver run-entry start|remove  starts the start-on-boot entry's command line (printed in
//                                hex), or removes the entry
//   driver wait-dialog add|remove|query SECONDS
//                                waits until Add City, Remove City or a "Query" box is shown and
//                                brings it to the front
//   driver add-state | remove-state
//                                prints Add City's or Remove City's title, its list's row count
//                                and selection, and whether the list has the focus
//   driver type TEXT             types the letters and blanks of TEXT on the keyboard
//   driver key down|up|return|escape
//                                presses the key on the keyboard
// Keys go through the system's input queue to whichever window has the focus, as a user's.
// Exit code 0 on success, 1 on failure, 2 when the widget (or the city dialog) is not found,
// 3 when no dialog is.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
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

// The window's client area as the screen shows it.
void copyFromScreen(HWND window, const brisalune::test::Canvas& canvas) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

int inkCount(const brisalune::test::Canvas& pixels, int left, int top, int right, int bottom) {
    int ink = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, pixels.height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, pixels.width()); ++x) {
            ink += pixels.at(x, y) != RGB(255, 255, 255);
        }
    }
    return ink;
}

// A checksum of the pixels between the picture and the name column, in the row's lower band,
// where the low and the high stand.
int rowTemperatures(HWND widget) {
    HWND list = GetDlgItem(widget, IDC_CITY_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    const brisalune::test::Canvas pixels(client.right, client.bottom, RGB(255, 255, 255));
    copyFromScreen(list, pixels);
    for (int i = 0; i < count; ++i) {
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
        const int middle = item.left + 65 + (item.right - item.left - 65) / 2;
        unsigned long sum = 0;
        for (int y = item.top + 25; y < std::min<int>(item.top + 44, pixels.height()); ++y) {
            for (int x = item.left + 65; x < middle; ++x) {
                sum = sum * 31 + pixels.at(x, y);
            }
        }
        std::printf("row %d %lu\n", i, sum);
    }
    return 0;
}

std::string hex(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    std::string out;
    char digits[4];
    for (unsigned char c : utf8) {
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

// The dialog the widget runs over itself right now, or a message box of one of its dialogs.
HWND shownDialog(HWND widget) {
    struct Search {
        HWND owner;
        HWND found;
    } search{widget, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            // Owned by the widget, or by a dialog of its own: a message box a dialog shows
            // after it has ended is owned by that dialog, hidden by then.
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

// The day places of the details window: a picture of 55 x 45 pixels at (10, 25 + 52 i), the
// weekday and wording right of it and the temperatures at the right.
int days(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    std::printf("client %ld %ld\n", client.right, client.bottom);
    const brisalune::test::Canvas pixels(client.right, client.bottom, RGB(255, 255, 255));
    copyFromScreen(dialog, pixels);
    for (int i = 0; 25 + 52 * i + 45 <= client.bottom; ++i) {
        const int y = 25 + 52 * i;
        std::printf("day %d picture %d text %d temperatures %d\n", i,
                    inkCount(pixels, 10, y, 65, y + 45) > 100,
                    inkCount(pixels, 75, y, 170, y + 45) > 0,
                    inkCount(pixels, 215, y, 255, y + 45) > 0);
    }
    return 0;
}

// The arguments as the shell gave them, so texts outside the code page arrive whole.
std::wstring wideArgument(int index) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = arguments != nullptr && index < count ? arguments[index] : L"";
    LocalFree(arguments);
    return argument;
}

// The screen as Wine holds it. Under Xvfb the X server's own copy may lack windows that Wine
// has drawn (dialogs opened from a modal loop stay black there), so pictures are taken here.
int screenshot(const std::wstring& path) {
    HDC screen = GetDC(nullptr);
    const int width = GetDeviceCaps(screen, HORZRES);
    const int height = GetDeviceCaps(screen, VERTRES);
    const brisalune::test::Canvas pixels(width, height, RGB(0, 0, 0));
    BitBlt(pixels.dc(), 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr) {
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF colour = pixels.at(x, y);
            const unsigned char rgb[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    std::fclose(out);
    return 0;
}

int chooseFromMoreMenu(HWND widget, int index) {
    PostMessageW(widget, WM_COMMAND, MAKEWPARAM(IDC_MORE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(widget, IDC_MORE)));
    HWND menu = nullptr;
    if (!waitFor(
            [&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); })) {
        std::printf("no menu appeared\n");
        return 1;
    }
    // The menu's loop reads the keys of its thread's queue.
    for (int down = 0; down <= index; ++down) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
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
        std::printf("no entry\n");
        return 1;
    }
    std::printf("%s\n", hex(value).c_str());
    // Started as the system starts it at log-on: by the command line alone.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, value, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::printf("not started\n");
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

// Commands about the dialog shown over the widget.
int dialogCommand(HWND dialog, const std::string& command, int argc, char** argv) {
    const int id = argc > 2 ? std::atoi(argv[2]) : 0;
    if (command == "dialog") {
        RECT rect{};
        GetWindowRect(dialog, &rect);
        std::printf("%s %ld %ld %ld %ld\n", hex(windowText(dialog)).c_str(), rect.left, rect.top,
                    rect.right, rect.bottom);
        return 0;
    }
    if (command == "days") {
        return days(dialog);
    }
    if (command == "choose" && argc > 3) {
        HWND combo = GetDlgItem(dialog, id);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(std::atoi(argv[3])), 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        return 0;
    }
    if (command == "click") {
        SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "controls") {
        for (int combo : {IDC_UNIT, IDC_REFRESH_RATE, IDC_SHARE_DAYS}) {
            std::printf("%d ", static_cast<int>(
                                   SendMessageW(GetDlgItem(dialog, combo), CB_GETCURSEL, 0, 0)));
        }
        std::printf("%d\n", IsDlgButtonChecked(dialog, IDC_START_ON_BOOT) == BST_CHECKED);
        return 0;
    }
    if (command == "text") {
        std::printf("%s\n", hex(windowText(GetDlgItem(dialog, id))).c_str());
        return 0;
    }
    if (command == "set-text" && argc > 3) {
        SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(wideArgument(3).c_str()));
        return 0;
    }
    if (command == "escape-dialog") {
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        return 0;
    }
    std::printf("unknown command '%s'; see the top of driver.cpp\n", command.c_str());
    return 1;
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

int type(const std::string& text) {
    for (const char c : text) {
        const SHORT key = VkKeyScanW(static_cast<wchar_t>(c));
        if (key == -1 || (key & 0xFF00) != 0) {
            std::printf("cannot type %c\n", c);
            return 1;
        }
        pressKey(static_cast<WORD>(key & 0xFF));
    }
    return 0;
}

int listState(HWND dialog, int listId) {
    HWND list = GetDlgItem(dialog, listId);
    GUITHREADINFO input{};
    input.cbSize = sizeof input;
    const bool focused = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &input) &&
                         input.hwndFocus == list;
    std::printf("title %s\nrows %d\nselected %d\nfocus %d\n", hex(windowText(dialog)).c_str(),
                static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)),
                static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)), focused ? 1 : 0);
    return 0;
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
    if (command == "add-state" || command == "remove-state") {
        const bool add = command == "add-state";
        HWND dialog = findCityDialog(add ? "add" : "remove");
        return dialog == nullptr ? 2
                                 : listState(dialog, add ? IDC_CATALOGUE_LIST : IDC_DEL_CITY_LIST);
    }
    if (command == "type") {
        return type(word);
    }
    const WORD key = word == "down"     ? VK_DOWN
                     : word == "up"     ? VK_UP
                     : word == "return" ? VK_RETURN
                     : word == "escape" ? VK_ESCAPE
                                        : 0;
    if (key == 0) {
        return 1;
    }
    pressKey(key);
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
    if (command == "wait-widget") {
        return waitFor([] { return findWidget() != nullptr; }, number) ? 0 : 2;
    }
    if (command == "run-entry" && argc > 2) {
        return runEntry(argv[2]);
    }
    for (const char* city : {"wait-dialog", "add-state", "remove-state", "type", "key"}) {
        if (command == city) {
            return cityDialogCommand(command, argc > 2 ? argv[2] : "",
                                     argc > 3 ? std::atoi(argv[3]) : 30);
        }
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
    if (command == "escape") {
        PostMessageW(GetDlgItem(widget, IDC_CITY_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
        return 0;
    }
    if (command == "press") {
        PostMessageW(widget, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget, number)));
        return 0;
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
    if (command == "more-menu") {
        return chooseFromMoreMenu(widget, number);
    }
    if (command == "screenshot" && argc > 2) {
        return screenshot(wideArgument(2));
    }
    if (command == "row-temperatures") {
        return rowTemperatures(widget);
    }
    HWND dialog = shownDialog(widget);
    if (dialog == nullptr) {
        std::printf("no dialog\n");
        return 3;
    }
    return dialogCommand(dialog, command, argc, argv);
}
