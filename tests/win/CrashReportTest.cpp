// The crash handler on made-up faults with observed steps, and in child processes that really
// fault and start a stand-in bug-report program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "app/CrashReport.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

// Takes note of the steps instead of taking them.
struct Observed {
    std::vector<std::string> started;
    std::vector<std::pair<std::string, unsigned>> messages;

    CrashActions actions(const std::string& directory) {
        return {directory,
                [this](const std::string& path) {
                    started.push_back(path);
                    return true;
                },
                [this](const std::string& text, unsigned flags) {
                    messages.emplace_back(text, flags);
                }};
    }
};

TEST(CrashFilter, WritesTheRegistersBesideTheExeStartsTheBugProgramThereAndTellsTheUser) {
    test::ScratchDir dir;
    test::writeFile(dir.file("error.txt"), std::string(2000, 'x'));
    CONTEXT context{};
    context.SegSs = 0x2b;
    context.Rbp = 0x00007ffdf00dbeefULL;
    context.Rsp = 0x14f9a0;
    context.SegCs = 0x33;
    context.Rip = 0xfedcba9876543210ULL;
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = reinterpret_cast<void*>(0x00007ff6a1b2c3d4ULL);
    EXCEPTION_POINTERS fault{&record, &context};

    Observed seen;
    EXPECT_EQ(reportCrash(&fault, seen.actions(dir.path())), EXCEPTION_EXECUTE_HANDLER);
    // Text mode: the report's line feed and the one after it both become CR LF.
    EXPECT_EQ(test::readFile(dir.file("error.txt")),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f9a0]- "
              "[SegCs:00000033, Eip:fedcba9876543210]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");
    EXPECT_EQ(seen.started, std::vector<std::string>{dir.path() + "\\BrisaluneBug.exe"});
    EXPECT_EQ(seen.messages, (std::vector<std::pair<std::string, unsigned>>{
                                 {kCrashMessage, static_cast<unsigned>(MB_ICONERROR | MB_OK)}}));

    // Whatever becomes of one step, the others are taken: no directory to write in, a step
    // that throws, and an unknown program directory, which never becomes a drive's root.
    Observed unwritable;
    reportCrash(&fault, unwritable.actions(dir.file("missing")));
    EXPECT_FALSE(test::exists(dir.file("missing")));
    EXPECT_EQ(unwritable.started.size() + unwritable.messages.size(), 2u);
    Observed throwing;
    CrashActions actions = throwing.actions(dir.path());
    actions.startProgram = [](const std::string&) -> bool { throw std::runtime_error("no"); };
    reportCrash(&fault, actions);
    EXPECT_EQ(throwing.messages.size(), 1u);
    Observed unknown;
    reportCrash(&fault, unknown.actions(""));
    EXPECT_EQ(unknown.started.size(), 0u);
    EXPECT_EQ(unknown.messages.size(), 1u);
}

// The visible dialog box of a thread, if it shows one.
HWND dialogOf(DWORD process) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// The installed handler in children that really fault, started from another directory (as at
// log-on) that holds a decoy bug-report program: each leaves one report, starts the bug-report
// program beside it, tells the user, and ends once the box is closed, whichever thread faulted.
TEST(CrashHandler, AFaultingProcessReportsOnceTellsTheUserAndEnds) {
    const struct {
        const char* mode;
        bool ownedBox;  // by the main window: only when its own thread faulted
    } cases[] = {{"", false}, {"worker", false}, {"ui", true}};
    for (const auto& [mode, ownedBox] : cases) {
        SCOPED_TRACE(mode);
        test::ScratchDir scratch;
        const std::string programDir = scratch.file("program dir");
        std::filesystem::create_directories(test::fsPath(programDir));
        const auto copy = [&](const char* helper, const std::string& to) {
            std::filesystem::copy_file(test::fsPath(joinPath(programDirectory(), helper)),
                                       test::fsPath(to));
        };
        copy("crash_child.exe", joinPath(programDir, "crash_child.exe"));
        copy("crash_bug_helper.exe", joinPath(programDir, "BrisaluneBug.exe"));
        copy("crash_bug_helper.exe", scratch.file("BrisaluneBug.exe"));

        const std::wstring application = widen(joinPath(programDir, "crash_child.exe"));
        std::wstring commandLine = L"\"" + application + L"\" " + widen(mode);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   0, nullptr, widen(scratch.path()).c_str(), &startup, &process));
        CloseHandle(process.hThread);
        HWND box = nullptr;
        for (const auto end = std::chrono::steady_clock::now() + 30s;
             (box = dialogOf(process.dwProcessId)) == nullptr &&
             std::chrono::steady_clock::now() < end &&
             WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT;) {
        }
        EXPECT_NE(box, nullptr) << "the crashed child showed no message box";
        wchar_t text[512] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 512);  // a message box's text
        EXPECT_EQ(narrow(text), kCrashMessage);
        EXPECT_EQ(GetWindow(box, GW_OWNER) != nullptr, ownedBox);
        // Timer ticks and thread messages have had their time to reach the box's loop.
        std::this_thread::sleep_for(500ms);
        EXPECT_FALSE(test::exists(joinPath(programDir, "reentered.txt")));
        // error.txt and the bug-report program come before the message box.
        const std::string marker = joinPath(programDir, "bug-ran.txt");
        for (const auto end = std::chrono::steady_clock::now() + 30s;
             !test::exists(marker) && std::chrono::steady_clock::now() < end;) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(200ms);  // the stand-in closes its marker
        const std::string report = test::readFile(joinPath(programDir, "error.txt"));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not end after the message box";
        EXPECT_EQ(exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

        // Started by its full path, with no arguments though the path has a blank, where it
        // stands; the current directory's copy never ran.
        std::string ran = test::readFile(marker);
        if (!ran.empty() && ran.back() == '\\') {
            ran.pop_back();
        }
        EXPECT_EQ(_stricmp(ran.c_str(), ("arguments 0\n" + programDir).c_str()), 0) << ran;
        EXPECT_FALSE(test::exists(scratch.file("bug-ran.txt")));
        EXPECT_FALSE(test::exists(scratch.file("error.txt")));

        // One report of the fault: the instruction that faulted is where it was raised.
        ASSERT_EQ(report.size(), 205u) << report;
        const std::string eip = report.substr(report.find("Eip:") + 4, 16);
        EXPECT_EQ(report.substr(report.find("ExceptionAddress:") + 17, 16), eip);
        EXPECT_NE(eip, "0000000000000000");
        EXPECT_EQ(report.substr(report.find("ExceptionCode:")),
                  "ExceptionCode:00000000c0000005, ExceptionFlags:0000000000000000]\r\n\r\n");
    }
    EXPECT_FALSE(startBugReportProgram("C:\\nowhere\\BrisaluneBug.exe"));
}

}  // namespace
}  // namespace brisalune
