#include <windows.h>

#include <atomic>

#include "app/CrashReport.h"
#include "base/DataFolder.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"
#include "win/Window.h"

namespace brisalune {

namespace {

CrashState crashStateOf(const EXCEPTION_POINTERS* info) {
    CrashState state;
    if (info == nullptr) {
        return state;
    }
    // The program is built for x64 only: its registers fill the report under the old labels.
    if (const CONTEXT* context = info->ContextRecord; context != nullptr) {
        state.stackSegment = context->SegSs;
        state.framePointer = context->Rbp;
        state.stackPointer = context->Rsp;
        state.codeSegment = context->SegCs;
        state.instructionPointer = context->Rip;
    }
    if (const EXCEPTION_RECORD* record = info->ExceptionRecord; record != nullptr) {
        state.exceptionAddress = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
        state.exceptionCode = record->ExceptionCode;
        state.exceptionFlags = record->ExceptionFlags;
    }
    return state;
}

// A step that throws (an allocation in a damaged process) must not keep the others from running,
// and nothing may leave an exception filter by a C++ exception.
template <typename Step>
void bestEffort(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// The message box runs its own loop on the faulting thread. Timer ticks and thread messages
// (status records, wake-ups) would lead from there back into the damaged program, so the box's
// loop drops them; this hook is installed last and so runs before the program's message filter.
LRESULT CALLBACK keepProgramOut(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg != nullptr && (msg->hwnd == nullptr || msg->message == WM_TIMER)) {
            return TRUE;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void showCrashMessage(const std::string& text, unsigned flags) {
    // Only the thread that owns the widget may own the box by it: a box owned by another
    // thread's window waits for that thread, which may be the one waiting for this one.
    HWND owner = nullptr;
    if (win::Window* main = win::mainWindow();
        main != nullptr && IsWindow(main->hwnd()) &&
        GetWindowThreadProcessId(main->hwnd(), nullptr) == GetCurrentThreadId()) {
        owner = main->hwnd();
    }
    SetWindowsHookExW(WH_MSGFILTER, keepProgramOut, nullptr, GetCurrentThreadId());
    MessageBoxW(owner, widen(text).c_str(), nullptr, flags);
}

CrashActions& installedActions() {
    static CrashActions actions;
    return actions;
}

std::atomic<DWORD> reportingThread{0};

LONG WINAPI crashFilter(EXCEPTION_POINTERS* info) {
    // One report per process: it is the first fault the bug-report program needs, and a second
    // report would replace it while the user still reads the first message box.
    const DWORD self = GetCurrentThreadId();
    DWORD first = 0;
    if (!reportingThread.compare_exchange_strong(first, self)) {
        if (first == self) {
            // A fault inside the report itself: waiting here would hang the process for good.
            return EXCEPTION_EXECUTE_HANDLER;
        }
        // The first report ends the process once its message box is closed.
        for (;;) {
            Sleep(INFINITE);
        }
    }
    return reportCrash(info, installedActions());
}

}  // namespace

bool startBugReportProgram(const std::string& path) {
    const std::wstring application = widen(path);
    // Its own quoted path is the whole command line, so it sees no arguments even when the
    // path has blanks (an application name alone would be split at them).
    std::wstring commandLine = L"\"" + application + L"\"";
    // It starts where it stands, beside error.txt, whatever the program's current directory.
    const size_t slash = application.find_last_of(L'\\');
    const std::wstring directory =
        slash == std::wstring::npos ? std::wstring() : application.substr(0, slash + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

CrashActions systemCrashActions() {
    CrashActions actions;
    actions.programDirectory = programDirectory();
    actions.dataDirectory = dataDirectory();
    actions.startProgram = startBugReportProgram;
    actions.showMessage = showCrashMessage;
    return actions;
}

long reportCrash(const _EXCEPTION_POINTERS* info, const CrashActions& actions) {
    std::string report;
    bestEffort([&] { report = crashReportText(crashStateOf(info)); });
    if (!actions.dataDirectory.empty()) {
        bestEffort([&] { writeCrashReport(actions.dataDirectory, report); });
    }
    if (!actions.programDirectory.empty() && actions.startProgram) {
        bestEffort(
            [&] { actions.startProgram(joinPath(actions.programDirectory, kBugReportProgram)); });
    }
    if (actions.showMessage) {
        bestEffort([&] { actions.showMessage(kCrashMessage, MB_ICONERROR | MB_OK); });
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

void installCrashHandler() {
    // The directories are found now, not in a damaged process at the moment of the fault.
    static const CrashActions actions = systemCrashActions();
    installCrashHandler(actions);
}

void installCrashHandler(CrashActions actions) {
    installedActions() = std::move(actions);
    SetUnhandledExceptionFilter(crashFilter);
}

}  // namespace brisalune
