// Watches Brisalune and the bare dialog from outside, under Wine, for `make figures`. It prints
// what it sees and judges nothing.
//   figures_probe start WIDGET_EXE WIDGET_DIR BARE_EXE BARE_DIR RUNS
//       Starts each program once to learn what its first list row looks like when it is
//       done, then RUNS times more, the two programs taking turns, and prints per run
//       "start widget|bare MS": the milliseconds from CreateProcess to the first poll of
//       Wine's screen that finds that row drawn.
//   figures_probe handles REPAINTS OPENINGS [DIALOG]
//       On the running widget: its GDI, USER and kernel object counts at the outset, after the
//       first opening of each dialog, after REPAINTS repaints and after OPENINGS openings of each
//       dialog in turn (or of DIALOG alone, by its name below), one line
//       "counts PHASE GDI USER KERNEL PRIVATE-KIB" each; then the kinds of the kernel handles
//       that came since the first openings, "handles-came KIND...", and how many went,
//       "handles-went N".
//   figures_probe counts
//       The running widget's counts once, beside what Wine's own calls for them answer.
//   figures_probe pointer X Y
//       Moves the pointer to the screen point (X, Y) as a mouse would.
//   figures_probe where ID [bare]
//       The screen point in the middle of the running widget's control ID, or the bare
//       dialog's: "at X Y".
//   figures_probe log-size
//       The length of the running widget's refresh log in characters: "log N".
//   figures_probe edit-box COUNT
//       COUNT multi-line text boxes with the Help text made and destroyed, and this process's
//       private memory before and after: "edit-box COUNT private KIB KIB".
//   figures_probe wininet COUNT
//       COUNT plain WinInet GETs from the stand-in named by BRISALUNE_WEATHER_URL, and this
//       process's private memory before and after: "wininet COUNT answered N private KIB KIB".
// Exit code 0 when it could measure, 1 when not, 2 when no widget runs.
#include <windows.h>
#include <psapi.h>
#include <wininet.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BareDialog.h"
#include "base/WideText.h"
#include "resource.h"
#include "ui/CInfoDlg.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Found>
auto waitFor(Found found, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = Clock::now() + bound;
    auto result = found();
    while (!result && Clock::now() < end) {
        Sleep(10);
        result = found();
    }
    return result;
}

DWORD processOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The shown dialog of process `process` that holds list `listId`.
HWND mainDialog(DWORD process, int listId) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
        if ((process == 0 || processOf(window) == process) && IsWindowVisible(window) &&
            GetDlgItem(window, listId) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

// The dialog the widget runs over itself, or a box one of its dialogs shows.
HWND shownDialog(HWND widget) {
    struct Search {
        HWND widget;
        HWND found;
    } search{widget, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            HWND owner = GetWindow(window, GW_OWNER);
            while (owner != nullptr && owner != s->widget) {
                owner = GetWindow(owner, GW_OWNER);
            }
            if (owner != nullptr && IsWindowVisible(window) && className(window) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- counting -------------------------------------------------------------------------------

// An entry of the GDI handle table, the same 24 bytes on Windows and under Wine.
struct GdiEntry {
    ULONG64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONG64 user;
};
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t kGdiHandles = 0x10000;
// Where a 64-bit PEB keeps the address of the GDI handle table.
constexpr size_t kPebGdiTableOffset = 0xF8;

// Wine answers GetGuiResources with 0. Its GDI handle table, which the PEB points to as on
// Windows, is the process's own there and holds one entry with a type per live object.
int gdiObjects(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic,
                                  nullptr) != 0) {
        return -1;
    }
    ULONG64 table = 0;
    if (!ReadProcessMemory(process,
                           reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiTableOffset,
                           &table, sizeof table, nullptr) ||
        table == 0) {
        return -1;
    }
    static std::vector<GdiEntry> entries(kGdiHandles);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                           entries.size() * sizeof(GdiEntry), nullptr)) {
        return -1;
    }
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](const GdiEntry& e) { return e.type; }));
}

// USER objects that can be seen from outside: the process's windows, top-level (hidden and
// owned ones too), message-only, and all their children. Menus, icons and hooks cannot.
int userWindows(DWORD process) {
    struct Tally {
        DWORD process;
        int windows;
    } tally{process, 0};
    const WNDENUMPROC countChild = [](HWND window, LPARAM data) -> BOOL {
        auto* t = reinterpret_cast<Tally*>(data);
        t->windows += processOf(window) == t->process;
        return TRUE;
    };
    auto countTree = [&](HWND window) {
        if (processOf(window) == process) {
            ++tally.windows;
        }
        EnumChildWindows(window, countChild, reinterpret_cast<LPARAM>(&tally));
    };
    std::vector<HWND> tops;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tops));
    for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr));) {
        tops.push_back(window);
    }
    for (HWND window : tops) {
        countTree(window);
    }
    return tally.windows;
}

struct SystemHandle {
    USHORT process;
    USHORT backTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandles {
    ULONG count;
    SystemHandle handles[1];
};
constexpr ULONG kSystemHandleInformation = 16;

// Wine's GetProcessHandleCount answers 0 (not implemented); its list of every process's handles
// is complete. The process's handle values, in the list's order.
std::vector<USHORT> kernelHandleValues(DWORD process) {
    static std::vector<char> buffer(1 << 22);
    ULONG size = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(
                static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation), buffer.data(),
                static_cast<ULONG>(buffer.size()), &size)) == static_cast<NTSTATUS>(0xC0000004L)) {
        buffer.resize(std::max<size_t>(buffer.size() * 2, size));
    }
    std::vector<USHORT> values;
    if (status != 0) {
        return values;
    }
    const auto* all = reinterpret_cast<const SystemHandles*>(buffer.data());
    for (ULONG i = 0; i < all->count; ++i) {
        if (all->handles[i].process == static_cast<USHORT>(process)) {
            values.push_back(all->handles[i].value);
        }
    }
    return values;
}

int kernelHandles(DWORD process) {
    const std::vector<USHORT> values = kernelHandleValues(process);
    return values.empty() ? -1 : static_cast<int>(values.size());
}

// The kind of object a handle of another process stands for ("Event", "Thread", ...).
std::string kindOf(DWORD process, USHORT value) {
    std::string kind = "?";
    HANDLE owner = OpenProcess(PROCESS_DUP_HANDLE, FALSE, process);
    HANDLE copy = nullptr;
    if (owner != nullptr &&
        DuplicateHandle(owner, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)),
                        GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        alignas(8) char info[1024];
        ULONG length = 0;
        constexpr auto kTypeInformation = static_cast<OBJECT_INFORMATION_CLASS>(2);
        if (NtQueryObject(copy, kTypeInformation, info, sizeof info, &length) == 0) {
            const auto* name = reinterpret_cast<const UNICODE_STRING*>(info);
            kind.clear();
            for (USHORT i = 0; i < name->Length / sizeof(wchar_t); ++i) {
                kind.push_back(static_cast<char>(name->Buffer[i]));
            }
        }
        CloseHandle(copy);
    }
    if (owner != nullptr) {
        CloseHandle(owner);
    }
    return kind;
}

// Wine leaves PrivateUsage 0 and reports the process's private resident memory (Linux's
// RssAnon) as PagefileUsage, which is what PrivateUsage counts on Windows.
long long privateKib(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory)) {
        return -1;
    }
    return static_cast<long long>(std::max(memory.PrivateUsage, memory.PagefileUsage) / 1024);
}

struct Counts {
    int gdi;
    int user;
    int kernel;
    long long privateKib;
};

Counts countsOf(DWORD process) {
    // A dialog's exchange thread may still be on its way out after the dialog has closed.
    Sleep(500);
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    Counts counts{handle != nullptr ? gdiObjects(handle) : -1, userWindows(process),
                  kernelHandles(process), handle != nullptr ? privateKib(handle) : -1};
    if (handle != nullptr) {
        CloseHandle(handle);
    }
    return counts;
}

void printCounts(const char* phase, const Counts& counts) {
    std::printf("counts %s %d %d %d %lld\n", phase, counts.gdi, counts.user, counts.kernel,
                counts.privateKib);
    std::fflush(stdout);
}

// ---- the widget's dialogs -------------------------------------------------------------------

enum class Way { Command, FirstRow, MoreMenu };

struct Opening {
    const char* name;
    Way way;
    UINT command;  // the widget's command, or the item of its More menu
};

// The share dialog shows its list of cities only when opened from the More menu: the tray's
// Share hands the first city to the mail program at once.
const Opening kOpenings[] = {
    {"add-city", Way::Command, ID_TRAY_ADD_CITY},
    {"remove-city", Way::Command, ID_TRAY_REMOVE_CITY},
    {"details", Way::FirstRow, 0},
    {"settings", Way::Command, ID_TRAY_SETTINGS},
    {"log", Way::Command, ID_LOG_DETAILS},
    {"share-list", Way::MoreMenu, 0},
    {"comment", Way::Command, ID_TRAY_LEAVE_COMMENT},
    {"version-check", Way::Command, ID_TRAY_CHECK_VERSION},
    {"about", Way::Command, ID_TRAY_ABOUT},
    {"help", Way::Command, ID_TRAY_HELP},
};

HWND shownMenu() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

bool ask(HWND widget, const Opening& opening) {
    switch (opening.way) {
        case Way::Command:
            return PostMessageW(widget, WM_COMMAND, opening.command, 0) != 0;
        case Way::FirstRow: {
            HWND list = GetDlgItem(widget, IDC_CITY_LIST);
            SendMessageW(list, LB_SETCURSEL, 0, 0);
            return PostMessageW(widget, WM_COMMAND, MAKEWPARAM(IDC_CITY_LIST, LBN_DBLCLK),
                                reinterpret_cast<LPARAM>(list)) != 0;
        }
        case Way::MoreMenu: {
            PostMessageW(widget, WM_COMMAND, MAKEWPARAM(IDC_MORE, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(widget, IDC_MORE)));
            HWND menu = waitFor(shownMenu);
            if (menu == nullptr) {
                return false;
            }
            // The menu's loop reads the keys from its thread's queue.
            for (UINT down = 0; down <= opening.command; ++down) {
                PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
            }
            PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            return true;
        }
    }
    return false;
}

void repaint(HWND window) {
    // Sent to the window's own thread and painted before this returns.
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// Opens the dialog as the user's command would, lets it paint, and cancels it.
bool openAndClose(HWND widget, const Opening& opening) {
    if (!ask(widget, opening)) {
        std::printf("%s could not be asked for\n", opening.name);
        return false;
    }
    HWND dialog = waitFor([&] { return shownDialog(widget); });
    if (dialog == nullptr) {
        std::printf("%s did not open\n", opening.name);
        return false;
    }
    if (opening.way == Way::Command && opening.command == ID_TRAY_CHECK_VERSION) {
        // The check ends by itself once the maker's site has answered, and tells the answer in
        // a window of its own: that one is closed, so the whole exchange runs every time.
        dialog = waitFor([&] {
            HWND shown = shownDialog(widget);
            return shown != nullptr && GetDlgItem(shown, IDC_CHECK_VERSION_TEXT) == nullptr
                       ? shown
                       : nullptr;
        });
        if (dialog == nullptr) {
            std::printf("%s gave no answer\n", opening.name);
            return false;
        }
    }
    repaint(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (!waitFor([&] {
            return !IsWindow(dialog) && shownDialog(widget) == nullptr && shownMenu() == nullptr;
        })) {
        std::printf("%s did not close\n", opening.name);
        return false;
    }
    return true;
}

int handles(int repaints, int openings, const std::string& only) {
    HWND widget = mainDialog(0, IDC_CITY_LIST);
    if (widget == nullptr) {
        std::printf("no widget\n");
        return 2;
    }
    const DWORD process = processOf(widget);
    printCounts("start", countsOf(process));
    // What is made once and kept (the catalogue's pictures, the common controls' classes) is
    // made here, so that the later counts show only what each use leaves behind.
    for (const Opening& opening : kOpenings) {
        if (!openAndClose(widget, opening)) {
            return 1;
        }
        printCounts((std::string("first-") + opening.name).c_str(), countsOf(process));
    }
    printCounts("warm", countsOf(process));
    std::vector<USHORT> warmHandles = kernelHandleValues(process);
    const auto started = Clock::now();
    for (int i = 0; i < repaints; ++i) {
        repaint(widget);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("repaints %d in %.1f s\n", repaints, elapsed);
    printCounts("repaints", countsOf(process));
    for (const Opening& opening : kOpenings) {
        if (!only.empty() && only != opening.name) {
            continue;
        }
        const auto begun = Clock::now();
        for (int i = 0; i < openings; ++i) {
            if (!openAndClose(widget, opening)) {
                return 1;
            }
        }
        std::printf("openings %s %d in %.1f s\n", opening.name, openings,
                    std::chrono::duration<double>(Clock::now() - begun).count());
        printCounts(opening.name, countsOf(process));
    }
    // What the kernel handles that came or went since the first openings are.
    std::vector<USHORT> lastHandles = kernelHandleValues(process);
    std::sort(warmHandles.begin(), warmHandles.end());
    std::sort(lastHandles.begin(), lastHandles.end());
    std::vector<USHORT> came;
    std::vector<USHORT> went;
    std::set_difference(lastHandles.begin(), lastHandles.end(), warmHandles.begin(),
                        warmHandles.end(), std::back_inserter(came));
    std::set_difference(warmHandles.begin(), warmHandles.end(), lastHandles.begin(),
                        lastHandles.end(), std::back_inserter(went));
    std::printf("handles-came");
    for (USHORT value : came) {
        std::printf(" %s", kindOf(process, value).c_str());
    }
    std::printf("\nhandles-went %zu\n", went.size());
    return 0;
}

// The length of the refresh log as its dialog shows it.
int logSize() {
    HWND widget = mainDialog(0, IDC_CITY_LIST);
    if (widget == nullptr) {
        std::printf("no widget\n");
        return 2;
    }
    PostMessageW(widget, WM_COMMAND, ID_LOG_DETAILS, 0);
    HWND dialog = waitFor([&] { return shownDialog(widget); });
    if (dialog == nullptr) {
        std::printf("no log dialog\n");
        return 1;
    }
    std::printf("log %ld\n", static_cast<long>(SendDlgItemMessageW(dialog, IDC_LOG_TEXT,
                                                                   WM_GETTEXTLENGTH, 0, 0)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return waitFor([&] { return !IsWindow(dialog); }) ? 0 : 1;
}

// Moves the pointer through the system's input queue, as a mouse would.
int pointer(int x, int y) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    SendInput(1, &input, sizeof input);
    return waitFor([&] {
        POINT now{};
        GetCursorPos(&now);
        return std::abs(now.x - x) <= 1 && std::abs(now.y - y) <= 1;
    })
               ? 0
               : 1;
}

// The screen point in the middle of the control `id` of the widget or of the bare dialog.
int where(int id, bool bare) {
    HWND dialog = mainDialog(0, bare ? IDC_BARE_LIST : IDC_CITY_LIST);
    HWND control = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
    if (control == nullptr) {
        std::printf("no such control\n");
        return 2;
    }
    RECT rect{};
    GetWindowRect(control, &rect);
    std::printf("at %ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
}

int counts() {
    HWND widget = mainDialog(0, IDC_CITY_LIST);
    if (widget == nullptr) {
        std::printf("no widget\n");
        return 2;
    }
    const DWORD process = processOf(widget);
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    SetLastError(0);
    const DWORD gdi = GetGuiResources(handle, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(handle, GR_USEROBJECTS);
    const DWORD guiError = GetLastError();
    DWORD kernel = 0;
    SetLastError(0);
    const BOOL counted = GetProcessHandleCount(handle, &kernel);
    std::printf(
        "system-calls GetGuiResources %lu %lu (error %lu) GetProcessHandleCount %lu "
        "(%s, error %lu)\n",
        gdi, user, guiError, kernel, counted ? "succeeded" : "failed", GetLastError());
    CloseHandle(handle);
    printCounts("now", countsOf(process));
    return 0;
}

// ---- WinInet alone ---------------------------------------------------------------------------

// What WinInet itself keeps per request: COUNT plain GETs of one city's forecast from the
// stand-in, each with a session of its own as the program's, and this process's private
// memory before and after.
int wininet(int count) {
    const char* base = std::getenv("BRISALUNE_WEATHER_URL");
    if (base == nullptr || std::strrchr(base, ':') == nullptr) {
        std::printf("BRISALUNE_WEATHER_URL names no stand-in\n");
        return 1;
    }
    const auto port = static_cast<INTERNET_PORT>(std::atoi(std::strrchr(base, ':') + 1));
    auto get = [port] {
        bool answered = false;
        HINTERNET session =
            InternetOpenW(L"figures", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        HINTERNET connection = InternetConnectW(session, L"127.0.0.1", port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request = HttpOpenRequestW(
            connection, L"GET",
            L"/data.aspx?weadegreetype=F&wealocations=wc:5913490&q=Calgary%2c+CAN", L"HTTP/1.1",
            nullptr, nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (request != nullptr && HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
            char buffer[16384];
            DWORD got = 0;
            while (InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) {
                answered = true;
            }
        }
        for (HINTERNET handle : {request, connection, session}) {
            if (handle != nullptr) {
                InternetCloseHandle(handle);
            }
        }
        return answered;
    };
    // The first requests load and set up what stays for the life of the process.
    for (int i = 0; i < 100; ++i) {
        get();
    }
    const long long before = privateKib(GetCurrentProcess());
    int answered = 0;
    for (int i = 0; i < count; ++i) {
        answered += get();
    }
    const long long after = privateKib(GetCurrentProcess());
    std::printf("wininet %d answered %d private %lld %lld\n", count, answered, before, after);
    return answered == count ? 0 : 1;
}

// ---- Wine's text box alone ------------------------------------------------------------------

// What a multi-line text box keeps after it is gone: COUNT times a box the size of the Help
// window's, with the Help text, shown, painted and destroyed in this process.
int editBox(int count) {
    const std::wstring text = brisalune::widen(brisalune::helpText());
    auto once = [&] {
        HWND box = CreateWindowExW(
            0, L"EDIT", text.c_str(),
            WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_READONLY,
            600, 100, 320, 300, nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(box);
        DestroyWindow(box);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    };
    for (int i = 0; i < 10; ++i) {
        once();
    }
    const long long before = privateKib(GetCurrentProcess());
    for (int i = 0; i < count; ++i) {
        once();
    }
    std::printf("edit-box %d private %lld %lld\n", count, before, privateKib(GetCurrentProcess()));
    return 0;
}

// ---- start to the first painted row ---------------------------------------------------------

// A top-down 32-bit copy of part of Wine's screen.
class ScreenPart {
  public:
    ScreenPart(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~ScreenPart() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    ScreenPart(const ScreenPart&) = delete;
    ScreenPart& operator=(const ScreenPart&) = delete;

    // Another process's window DC answers no pixels under Wine; the screen's does.
    const uint32_t* grab(int x, int y) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc_, 0, 0, width_, height_, screen, x, y, SRCCOPY);
        ReleaseDC(nullptr, screen);
        GdiFlush();
        return bits_;
    }
    size_t size() const { return static_cast<size_t>(width_) * height_; }

  private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

struct Program {
    Program(const char* name_, std::wstring exe_, std::wstring directory_, int listId_)
        : name(name_), exe(std::move(exe_)), directory(std::move(directory_)), listId(listId_) {}

    const char* name;
    std::wstring exe;
    std::wstring directory;
    int listId;
    // The first row when the program has settled: where it stands from the window's corner,
    // and its pixels.
    POINT offset{};
    SIZE size{};
    std::vector<uint32_t> row;
    uint32_t background = 0;
    POINT lastFrame{};
};

struct Started {
    PROCESS_INFORMATION process{};
    Clock::time_point at;
};

bool start(const Program& program, Started& started) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program.exe + L"\"";
    started.at = Clock::now();
    return CreateProcessW(program.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, program.directory.c_str(), &startup, &started.process) != 0;
}

// Closes the program the way its user would, so that the next start finds no instance left.
void finish(const Program& program, Started& started) {
    HWND window = mainDialog(started.process.dwProcessId, program.listId);
    if (window != nullptr && program.listId == IDC_CITY_LIST) {
        PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
        HWND question = waitFor([&] {
            HWND box = FindWindowExW(nullptr, nullptr, L"#32770", L"Brisalune");
            while (box != nullptr && (box == window || !IsWindowVisible(box) ||
                                      processOf(box) != started.process.dwProcessId)) {
                box = FindWindowExW(nullptr, box, L"#32770", L"Brisalune");
            }
            return box;
        });
        if (question != nullptr) {
            PostMessageW(question, WM_COMMAND, IDYES, 0);
        }
    } else if (window != nullptr) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
    if (WaitForSingleObject(started.process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(started.process.hProcess, 1);
        WaitForSingleObject(started.process.hProcess, 10000);
    }
    CloseHandle(started.process.hThread);
    CloseHandle(started.process.hProcess);
    // The desktop repaints where the window was before the next start.
    Sleep(500);
}

// Starts the program, waits until its first row stays unchanged for a second, and keeps where
// the row stands and what it looks like.
bool learnRow(Program& program) {
    Started started;
    if (!start(program, started)) {
        std::printf("cannot start %s\n", program.name);
        return false;
    }
    HWND window = waitFor([&] { return mainDialog(started.process.dwProcessId, program.listId); },
                          std::chrono::seconds(60));
    bool learnt = false;
    if (window != nullptr) {
        HWND list = GetDlgItem(window, program.listId);
        RECT item{};
        RECT frame{};
        SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
        GetWindowRect(window, &frame);
        program.lastFrame = {frame.left, frame.top};
        program.offset = {item.left - frame.left, item.top - frame.top};
        program.size = {item.right - item.left, item.bottom - item.top};
        ScreenPart part(program.size.cx, program.size.cy);
        std::vector<uint32_t> last;
        const auto end = Clock::now() + std::chrono::seconds(30);
        int steady = 0;
        while (steady < 10 && Clock::now() < end) {
            Sleep(100);
            const uint32_t* pixels = part.grab(item.left, item.top);
            std::vector<uint32_t> now(pixels, pixels + part.size());
            steady = now == last ? steady + 1 : 0;
            last = std::move(now);
        }
        program.row = std::move(last);
        std::map<uint32_t, size_t> colours;
        for (uint32_t pixel : program.row) {
            ++colours[pixel];
        }
        if (!colours.empty()) {
            program.background =
                std::max_element(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
                    return a.second < b.second;
                })->first;
        }
        learnt = steady >= 10 && program.size.cx > 0 && program.size.cy > 0;
    }
    finish(program, started);
    if (!learnt) {
        std::printf("%s showed no steady first row\n", program.name);
    }
    return learnt;
}

// Drawn: at least 90 % of the row's pixels, and 90 % of the pixels that are not its background
// colour (its text and picture), are as they are once the program has settled.
bool rowDrawn(const Program& program, const uint32_t* pixels) {
    size_t same = 0;
    size_t ink = 0;
    size_t inkSame = 0;
    for (size_t i = 0; i < program.row.size(); ++i) {
        const bool match = pixels[i] == program.row[i];
        same += match;
        if (program.row[i] != program.background) {
            ++ink;
            inkSame += match;
        }
    }
    return same * 10 >= program.row.size() * 9 && inkSame * 10 >= ink * 9;
}

struct Timing {
    double shown = -1;  // the window is there and visible
    double drawn = -1;  // its first row is drawn
};

// Milliseconds from CreateProcess to the window and to the first poll that finds the row
// drawn; both -1 when the row was on the screen before the start or did not come.
Timing timeToFirstRow(Program& program) {
    Timing timing;
    ScreenPart part(program.size.cx, program.size.cy);
    // Where the last window stood must show something else now, or the row would be found at
    // once.
    if (!waitFor([&] {
            return !rowDrawn(program, part.grab(program.lastFrame.x + program.offset.x,
                                                program.lastFrame.y + program.offset.y));
        })) {
        std::printf("%s: its row stayed on the screen after it ended\n", program.name);
        return timing;
    }
    Started started;
    if (!start(program, started)) {
        return timing;
    }
    auto since = [&] {
        return std::chrono::duration<double, std::milli>(Clock::now() - started.at).count();
    };
    HWND window = nullptr;
    const auto end = started.at + std::chrono::seconds(60);
    while (timing.drawn < 0 && Clock::now() < end) {
        if (window == nullptr) {
            window = mainDialog(started.process.dwProcessId, program.listId);
            if (window != nullptr) {
                timing.shown = since();
            }
        }
        if (window != nullptr) {
            RECT frame{};
            GetWindowRect(window, &frame);
            program.lastFrame = {frame.left, frame.top};
            if (rowDrawn(program,
                         part.grab(frame.left + program.offset.x, frame.top + program.offset.y))) {
                timing.drawn = since();
            }
        }
        if (timing.drawn < 0) {
            Sleep(1);
        }
    }
    finish(program, started);
    return timing;
}

std::wstring wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring result(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
    return result;
}

int startTimes(char** argv, int runs) {
    Program programs[] = {
        {"bare", wide(argv[4]), wide(argv[5]), IDC_BARE_LIST},
        {"widget", wide(argv[2]), wide(argv[3]), IDC_CITY_LIST},
    };
    for (Program& program : programs) {
        if (!learnRow(program)) {
            return 1;
        }
        std::printf("row %s %ldx%ld\n", program.name, program.size.cx, program.size.cy);
    }
    for (int run = 0; run < runs; ++run) {
        for (Program& program : programs) {
            const Timing timing = timeToFirstRow(program);
            if (timing.drawn < 0) {
                std::printf("%s: no first row within a minute\n", program.name);
                return 1;
            }
            std::printf("start %s %.1f shown %.1f\n", program.name, timing.drawn, timing.shown);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "start" && argc > 6) {
        return startTimes(argv, std::atoi(argv[6]));
    }
    if (command == "handles" && argc > 3) {
        return handles(std::atoi(argv[2]), std::atoi(argv[3]), argc > 4 ? argv[4] : "");
    }
    if (command == "counts") {
        return counts();
    }
    if (command == "pointer" && argc > 3) {
        return pointer(std::atoi(argv[2]), std::atoi(argv[3]));
    }
    if (command == "where" && argc > 2) {
        return where(std::atoi(argv[2]), argc > 3 && std::string(argv[3]) == "bare");
    }
    if (command == "log-size") {
        return logSize();
    }
    if (command == "edit-box" && argc > 2) {
        return editBox(std::atoi(argv[2]));
    }
    if (command == "wininet" && argc > 2) {
        return wininet(std::atoi(argv[2]));
    }
    std::printf("usage: see the top of FiguresProbe.cpp\n");
    return 1;
}
