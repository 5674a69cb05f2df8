// Drives a running Brisalune from outside, as a user would, with window messages only.
//   driver wait-widget SECONDS   waits until the widget window exists
//   driver rows                  prints the number of rows and, per row, whether its condition
//                                picture and its status word are drawn
//   driver visible               prints 1 when the widget is shown, 0 when hidden
//   driver exit                  chooses Exit and answers Yes
//   driver escape                presses Escape in the widget
//   driver about [MS]            opens About from the tray menu, closes it with Escape after MS
//                                milliseconds (300) and prints 1 when the widget is in front again
//   driver command ID            posts the widget a WM_COMMAND ID (a tray command)
//   driver more-menu INDEX       opens the More menu and chooses its item INDEX
//   driver wait-dialog CAPTION SECONDS   waits until a dialog with that caption is shown
//   driver text CAPTION ID       prints the text of that dialog's control ID (UTF-8)
//   driver set-text CAPTION ID TEXT      sets the text of that dialog's control ID
//   driver click CAPTION ID      presses that dialog's button ID
//   driver close CAPTION         closes that dialog as Escape would
//   driver screenshot FILE       writes the screen as Wine draws it to FILE (PPM)
// Exit code 0 on success, 1 on failure, 2 when the widget is not found.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

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

// A shown dialog other than the widget with this caption.
HWND findShownDialog(const std::wstring& caption, HWND widget) {
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

// text, set-text, click and close: one control of a shown dialog.
int onDialog(const std::string& command, HWND widget, int id) {
    HWND dialog = findShownDialog(wideArgument(2), widget);
    HWND control = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
    if (command == "close") {
        return dialog != nullptr && PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0) ? 0 : 1;
    }
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
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
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
    if (command == "command") {
        PostMessageW(widget, WM_COMMAND, static_cast<WPARAM>(number), 0);
        return 0;
    }
    if (command == "more-menu") {
        return chooseFromMoreMenu(widget, number);
    }
    if (command == "screenshot") {
        return screenshot(wideArgument(2));
    }
    if (command == "wait-dialog" && argc > 3) {
        const std::wstring caption = wideArgument(2);
        return waitFor([&] { return findShownDialog(caption, widget) != nullptr; },
                       std::atoi(argv[3]))
                   ? 0
                   : 1;
    }
    if ((command == "text" || command == "set-text" || command == "click" || command == "close") &&
        argc > 2) {
        return onDialog(command, widget, argc > 3 ? std::atoi(argv[3]) : 0);
    }
    if (command == "escape") {
        PostMessageW(GetDlgItem(widget, IDC_CITY_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
        return 0;
    }
    std::printf("unknown command '%s'; see the top of driver.cpp\n", command.c_str());
    return 1;
}
