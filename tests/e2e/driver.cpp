// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS         waits until the widget window exists
//   driver rows                        prints the number of rows and, per row, whether its
//                                      condition picture and its status word are drawn
//   driver visible                     prints 1 when the widget is shown, 0 when hidden
//   driver exit                        chooses Exit and answers Yes
//   driver escape                      presses Escape in the widget
//   driver hover ID                    rests the pointer on the widget's control ID
//   driver click ID                    clicks the widget's button ID (a BN_CLICKED)
//   driver wait-dialog add|remove|query SECONDS
//                                      waits until Add City, Remove City or a "Query" box
//                                      is shown and brings it to the front
//   driver add-state                   prints Add City's title, its list's row count and
//                                      selection, and whether the list has the focus
//   driver remove-state                prints Remove City's row count and selection
//   driver type TEXT                   types the letters and blanks of TEXT on the keyboard
//   driver key down|up|return|escape   presses the key on the keyboard
// Keys go through the system's input queue to whichever window has the focus, as a user's
// would. Exit code 0 on success, 1 on failure, 2 when the widget (or dialog) is not found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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

// A shown dialog of this program: Add City by its keyword box and list, Remove City and the
// Yes/No boxes by their captions.
HWND findDialog(const std::string& kind) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
        if (!IsWindowVisible(window)) {
            continue;
        }
        wchar_t caption[128] = {};
        GetWindowTextW(window, caption, 128);
        if (kind == "add" && GetDlgItem(window, IDC_KEYWORD) != nullptr &&
            GetDlgItem(window, IDC_CATALOGUE_LIST) != nullptr) {
            return window;
        }
        if ((kind == "remove" && std::wstring(caption) == L"Remove City") ||
            (kind == "query" && std::wstring(caption) == L"Query")) {
            return window;
        }
    }
    return nullptr;
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
    if (command == "wait-dialog" && argc > 2) {
        const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
        for (int i = 0; i < seconds * 10; ++i) {
            if (HWND dialog = findDialog(argv[2])) {
                SetForegroundWindow(dialog);
                Sleep(200);
                return 0;
            }
            Sleep(100);
        }
        return 2;
    }
    if (command == "add-state" || command == "remove-state") {
        const bool add = command == "add-state";
        HWND dialog = findDialog(add ? "add" : "remove");
        return dialog == nullptr ? 2
                                 : listState(dialog, add ? IDC_CATALOGUE_LIST : IDC_DEL_CITY_LIST);
    }
    if (command == "type" && argc > 2) {
        return type(argv[2]);
    }
    if (command == "key" && argc > 2) {
        const std::string name = argv[2];
        const WORD key = name == "down"     ? VK_DOWN
                         : name == "up"     ? VK_UP
                         : name == "return" ? VK_RETURN
                         : name == "escape" ? VK_ESCAPE
                                            : 0;
        if (key == 0) {
            return 1;
        }
        press(key);
        return 0;
    }
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
    if (command == "click" && argc > 2) {
        const int id = std::atoi(argv[2]);
        PostMessageW(widget, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget, id)));
        return 0;
    }
    if (command == "escape") {
        HWND list = GetDlgItem(widget, IDC_CITY_LIST);
        PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(list, WM_KEYUP, VK_ESCAPE, 0);
        return 0;
    }
    std::printf("unknown command %s\n", command.c_str());
    return 1;
}
