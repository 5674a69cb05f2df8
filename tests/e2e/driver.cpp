// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS         waits until the widget window exists
//   driver rows                        prints the number of rows and, per row, whether its
//                                      condition picture and its status word are drawn
//   driver visible                     prints 1 when the widget is shown, 0 when hidden
//   driver exit                        chooses Exit and answers Yes
//   driver escape                      presses Escape in the widget
//   driver hover ID                    rests the pointer on the widget's control ID
//   driver press ID                    clicks the widget's button ID
//   driver command ID                  sends the widget the menu command ID
//   driver open-row N                  selects row N and presses Enter on it
//   driver row-temperatures            prints, per row, a checksum of its temperature band
//   driver dialog                      prints the shown dialog over the widget: its caption
//                                      (UTF-8 in hex) and its window rectangle
//   driver days                        prints, per day place of that dialog, whether its
//                                      condition picture and its texts are drawn
//   driver choose ID INDEX             picks entry INDEX of that dialog's combo box ID
//   driver click ID                    clicks that dialog's button ID
//   driver controls                    prints that dialog's combo selections and check box
//   driver text ID                     prints the text of that dialog's control ID in hex
//   driver escape-dialog               presses Escape in that dialog
//   driver run-entry start|remove      starts the start-on-boot entry's command line (which it
//                                      prints in hex), or removes the entry
// Exit code 0 on success, 1 on failure, 2 when the widget is not found, 3 when no dialog is.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "WinTestSupport.h"
#include "resource.h"

namespace {

HWND findWidget() {
    // The widget is a dialog captioned "Brisalune" holding the city list.
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", L"Brisalune")) != nullptr) {
        if (GetDlgItem(window, IDC_CITY_LIST) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

// The window's client area as it is on screen. Read through the screen's DC: another
// process's window DC answers no pixels under Wine.
void copyFromScreen(HWND window, const brisalune::test::Canvas& canvas) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

int rows(HWND widget) {
    HWND list = GetDlgItem(widget, IDC_CITY_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::printf("rows %d\n", count);
    RECT client{};
    GetClientRect(list, &client);
    const brisalune::test::Canvas pixels(client.right, client.bottom, RGB(255, 255, 255));
    copyFromScreen(list, pixels);
    const auto white = [&pixels](int x, int y) {
        return x < 0 || y < 0 || x >= pixels.width() || y >= pixels.height() ||
               pixels.at(x, y) == RGB(255, 255, 255);
    };
    for (int i = 0; i < count; ++i) {
        RECT item{};
        SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
        int picture = 0;
        for (int y = item.top + 5; y < item.top + 50; ++y) {
            for (int x = item.left + 5; x < item.left + 60; ++x) {
                picture += white(x, y) ? 0 : 1;
            }
        }
        // The status word sits centred in the row's bottom band, under the temperatures and
        // above the sunken edge.
        int status = 0;
        const int middle = (item.left + item.right) / 2;
        for (int y = item.bottom - 12; y < item.bottom - 3; ++y) {
            for (int x = middle - 30; x < middle + 30; ++x) {
                status += white(x, y) ? 0 : 1;
            }
        }
        std::printf("row %d picture %d status %d\n", i, picture > 100 ? 1 : 0, status > 0 ? 1 : 0);
    }
    return 0;
}

std::string hex(const std::wstring& text) {
    std::string utf8(
        static_cast<size_t>(WideCharToMultiByte(
            CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    std::string out;
    char digits[4];
    for (unsigned char c : utf8) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        out += digits;
    }
    return out;
}

std::wstring windowText(HWND window) {
    wchar_t text[70000] = {};
    SendMessageW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// The dialog the widget runs over itself right now.
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
            if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window) &&
                std::wstring(kind) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int inkCount(const brisalune::test::Canvas& pixels, int left, int top, int right, int bottom) {
    int ink = 0;
    for (int y = top; y < bottom && y < pixels.height(); ++y) {
        for (int x = left; x < right && x < pixels.width(); ++x) {
            ink += pixels.at(x, y) == RGB(255, 255, 255) ? 0 : 1;
        }
    }
    return ink;
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
                    inkCount(pixels, 10, y, 65, y + 45) > 100 ? 1 : 0,
                    inkCount(pixels, 75, y, 170, y + 45) > 0 ? 1 : 0,
                    inkCount(pixels, 215, y, 255, y + 45) > 0 ? 1 : 0);
    }
    return 0;
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
        for (int y = item.top + 25; y < item.top + 44 && y < pixels.height(); ++y) {
            for (int x = item.left + 65; x < middle; ++x) {
                sum = sum * 31 + pixels.at(x, y);
            }
        }
        std::printf("row %d %lu\n", i, sum);
    }
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

int exitWithYes(HWND widget) {
    PostMessageW(widget, WM_COMMAND, ID_TRAY_EXIT, 0);
    for (int i = 0; i < 100; ++i) {
        Sleep(100);
        HWND box = FindWindowW(L"#32770", L"Brisalune");
        while (box != nullptr && box == widget) {
            box = FindWindowExW(nullptr, box, L"#32770", L"Brisalune");
        }
        if (box != nullptr) {
            HWND yes = GetDlgItem(box, IDYES);
            if (yes != nullptr) {
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                             reinterpret_cast<LPARAM>(yes));
                return 0;
            }
        }
    }
    std::printf("no question appeared\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf(
            "usage: driver wait-widget SECONDS | rows | visible | exit | escape | hover ID\n");
        return 1;
    }
    const std::string command = argv[1];
    if (command == "wait-widget") {
        const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
        for (int i = 0; i < seconds * 10; ++i) {
            if (findWidget() != nullptr) {
                return 0;
            }
            Sleep(100);
        }
        return 2;
    }
    if (command == "run-entry" && argc > 2) {
        return runEntry(argv[2]);
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
    if (command == "hover" && argc > 2) {
        RECT control{};
        if (!GetWindowRect(GetDlgItem(widget, std::atoi(argv[2])), &control)) {
            return 1;
        }
        // Moved twice, so the control sees a move inside it and starts tracking the hover.
        SetCursorPos(control.left + 2, control.top + 2);
        Sleep(100);
        SetCursorPos((control.left + control.right) / 2, (control.top + control.bottom) / 2);
        return 0;
    }
    if (command == "escape") {
        HWND list = GetDlgItem(widget, IDC_CITY_LIST);
        PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(list, WM_KEYUP, VK_ESCAPE, 0);
        return 0;
    }
    if (command == "press" && argc > 2) {
        const int id = std::atoi(argv[2]);
        PostMessageW(widget, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget, id)));
        return 0;
    }
    if (command == "command" && argc > 2) {
        PostMessageW(widget, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
        return 0;
    }
    if (command == "open-row" && argc > 2) {
        HWND list = GetDlgItem(widget, IDC_CITY_LIST);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(std::atoi(argv[2])), 0);
        PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(list, WM_KEYUP, VK_RETURN, 0);
        return 0;
    }
    if (command == "row-temperatures") {
        return rowTemperatures(widget);
    }
    HWND dialog = shownDialog(widget);
    if (dialog == nullptr) {
        std::printf("no dialog\n");
        return 3;
    }
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
        const int id = std::atoi(argv[2]);
        HWND combo = GetDlgItem(dialog, id);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(std::atoi(argv[3])), 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        return 0;
    }
    if (command == "click" && argc > 2) {
        SendMessageW(GetDlgItem(dialog, std::atoi(argv[2])), BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "controls") {
        for (int id : {IDC_UNIT, IDC_REFRESH_RATE, IDC_SHARE_DAYS}) {
            std::printf("%d ",
                        static_cast<int>(SendMessageW(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0)));
        }
        std::printf("%d\n", IsDlgButtonChecked(dialog, IDC_START_ON_BOOT) == BST_CHECKED ? 1 : 0);
        return 0;
    }
    if (command == "text" && argc > 2) {
        std::printf("%s\n", hex(windowText(GetDlgItem(dialog, std::atoi(argv[2])))).c_str());
        return 0;
    }
    if (command == "escape-dialog") {
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0);
        return 0;
    }
    std::printf("unknown command %s\n", command.c_str());
    return 1;
}
