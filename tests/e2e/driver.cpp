// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS         waits until the widget window exists
//   driver rows                        prints the number of rows and, per row, whether its
//                                      condition picture and its status word are drawn
//   driver visible                     prints 1 when the widget is shown, 0 when hidden
//   driver exit                        chooses Exit and answers Yes
//   driver escape                      presses Escape in the widget
//   driver hover ID                    rests the pointer on the widget's control ID
//   driver command ID                  posts the widget a WM_COMMAND ID (a tray command)
//   driver more-menu INDEX             opens the More menu and chooses its item INDEX
//   driver wait-dialog CAPTION SECONDS waits until a dialog with that caption is shown
//   driver text CAPTION ID             prints the text of that dialog's control ID (UTF-8)
//   driver set-text CAPTION ID TEXT    sets the text of that dialog's control ID
//   driver click CAPTION ID            presses that dialog's button ID
//   driver close CAPTION               closes that dialog as Escape would
//   driver screenshot FILE             writes the screen as Wine draws it to FILE (PPM)
// Exit code 0 on success, 1 on failure, 2 when the widget is not found.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

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

// A shown dialog other than the widget with this caption.
HWND findDialog(const std::wstring& caption, HWND widget) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", caption.c_str())) != nullptr) {
        if (window != widget && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// The arguments as the shell gave them, so texts outside the code page arrive whole.
std::wstring wideArgument(int index) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = arguments != nullptr && index < count ? arguments[index] : L"";
    LocalFree(arguments);
    return argument;
}

std::string utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

// The screen as Wine holds it. Under Xvfb the X server's own copy may lack windows that Wine
// has drawn (dialogs opened from a modal loop stay black there), so pictures are taken here.
int screenshot(const std::wstring& path) {
    HDC screen = GetDC(nullptr);
    const int width = GetDeviceCaps(screen, HORZRES);
    const int height = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    const brisalune::test::Canvas pixels(width, height, RGB(0, 0, 0));
    screen = GetDC(nullptr);
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
    for (int i = 0; i < 50; ++i) {
        Sleep(100);
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu != nullptr && IsWindowVisible(menu)) {
            // The menu's loop reads the keys of its thread's queue.
            for (int down = 0; down <= index; ++down) {
                PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
            }
            PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            return 0;
        }
    }
    std::printf("no menu appeared\n");
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
    if (command == "screenshot" && argc > 2) {
        return screenshot(wideArgument(2));
    }
    if (command == "command" && argc > 2) {
        PostMessageW(widget, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0);
        return 0;
    }
    if (command == "more-menu" && argc > 2) {
        return chooseFromMoreMenu(widget, std::atoi(argv[2]));
    }
    if (command == "wait-dialog" && argc > 3) {
        const std::wstring caption = wideArgument(2);
        for (int i = 0; i < std::atoi(argv[3]) * 10; ++i) {
            if (findDialog(caption, widget) != nullptr) {
                return 0;
            }
            Sleep(100);
        }
        return 1;
    }
    if (command == "close" && argc > 2) {
        HWND dialog = findDialog(wideArgument(2), widget);
        return dialog != nullptr && PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
    if ((command == "text" || command == "set-text" || command == "click") && argc > 3) {
        HWND dialog = findDialog(wideArgument(2), widget);
        HWND control = dialog != nullptr ? GetDlgItem(dialog, std::atoi(argv[3])) : nullptr;
        if (control == nullptr) {
            std::printf("no such dialog or control\n");
            return 1;
        }
        if (command == "text") {
            // Sent, not GetWindowText: across processes that answers only a window's caption,
            // which an edit box does not keep.
            wchar_t text[4096] = {};
            SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
            // Line breaks as the control holds them.
            _setmode(_fileno(stdout), _O_BINARY);
            std::printf("%s", utf8(text).c_str());
        } else if (command == "set-text") {
            SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wideArgument(4).c_str()));
        } else {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(std::atoi(argv[3]), BN_CLICKED),
                         reinterpret_cast<LPARAM>(control));
        }
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
