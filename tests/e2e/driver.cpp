// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS         waits until the widget window exists
//   driver rows                        prints the number of rows and, per row, whether its
//                                      condition picture and its status word are drawn
//   driver visible                     prints 1 when the widget is shown, 0 when hidden
//   driver exit                        chooses Exit and answers Yes
//   driver escape                      presses Escape in the widget
//   driver about [MS]                  opens About from the tray menu, closes it with Escape
//                                      after MS milliseconds (300) and prints 1 when the widget
//                                      is in front again
// Exit code 0 on success, 1 on failure, 2 when the widget is not found.
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

// Waits up to five seconds for `done`.
template <typename Done>
bool waitFor(Done done) {
    for (int i = 0; i < 50 && !done(); ++i) {
        Sleep(100);
    }
    return done();
}

int aboutAndBack(HWND widget, int openFor) {
    PostMessageW(widget, WM_COMMAND, ID_TRAY_ABOUT, 0);
    HWND about = nullptr;
    if (!waitFor([&] { return (about = FindWindowW(L"#32770", L"About")) != nullptr; })) {
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
    if (argc < 2) {
        std::printf(
            "usage: driver wait-widget SECONDS | rows | visible | exit | escape | about [MS]\n");
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
        return aboutAndBack(widget, argc > 2 ? std::atoi(argv[2]) : 300);
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
