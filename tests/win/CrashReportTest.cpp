// The crash handler on made-up faults with observed steps, and in a child process that really
// faults and starts a stand-in bug-report program.
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

const std::string kMessage =
    "Sorry for the bug, we will improve the Brisalune. \nAnd we will fix this bug in next version. "
    "\nPlease restart the Brisalune.";

// Takes note of the steps instead of taking them.
struct Observed {
    std::vector<std::string> started;
    std::vector<std::pair<std::string, unsigned>> messages;

    CrashActions actions(const std::string& directory) {
        CrashActions actions;
        actions.programDirectory = directory;
        actions.startProgram = [this](const std::string& path) {
            started.push_back(path);
            return true;
        };
        actions.showMessage = [this](const std::string& text, unsigned flags) {
            messages.emplace_back(text, flags);
        };
        return actions;
    }
};

// A fault as the system hands it to the filter.
struct Fault {
    CONTEXT context{};
    EXCEPTION_RECORD record{};
    EXCEPTION_POINTERS info{&record, &context};

    Fault(DWORD64 rip, DWORD64 rsp, DWORD code) {
        context.SegSs = 0x2b;
        context.Rbp = 0x00007ffdf00dbeefULL;
        context.Rsp = rsp;
        context.SegCs = 0x33;
        context.Rip = rip;
        record.ExceptionCode = code;
        record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
        record.ExceptionAddress = reinterpret_cast<void*>(0x00007ff6a1b2c3d4ULL);
    }
};

// Copies a helper program built beside the test exe into `directory`, made if need be.
void copyHelper(const std::string& helper, const std::string& directory, const std::string& name) {
    std::filesystem::create_directories(test::fsPath(directory));
    std::filesystem::copy_file(test::fsPath(joinPath(programDirectory(), helper)),
                               test::fsPath(joinPath(directory, name)));
}

bool waitFor(const std::string& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!test::exists(path)) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    // The stand-in writes its marker in one go; give it the moment to close the file.
    std::this_thread::sleep_for(200ms);
    return true;
}

TEST(CrashFilter, WritesTheReportStartsTheBugProgramBesideTheExeAndTellsTheUser) {
    test::ScratchDir dir;
    test::ScratchDir elsewhere;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(widen(elsewhere.path()).c_str()));
    const std::string file = dir.file("error.txt");
    test::writeFile(file, std::string(2000, 'x'));

    Observed seen;
    Fault fault(0x12ab34, 0x14f9a0, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(reportCrash(&fault.info, seen.actions(dir.path())), EXCEPTION_EXECUTE_HANDLER);
    // Text mode: the report's line feed and the one after it both become CR LF.
    EXPECT_EQ(test::readFile(file),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f9a0]- "
              "[SegCs:00000033, Eip:000000000012ab34]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");
    EXPECT_EQ(seen.started, std::vector<std::string>{dir.path() + "\\BrisaluneBug.exe"});
    EXPECT_EQ(seen.messages, (std::vector<std::pair<std::string, unsigned>>{
                                 {kMessage, static_cast<unsigned>(MB_ICONERROR | MB_OK)}}));

    // A second crash leaves its own report only.
    Fault again(0xfedcba9876543210ULL, 0x14f000, EXCEPTION_INT_DIVIDE_BY_ZERO);
    EXPECT_EQ(reportCrash(&again.info, seen.actions(dir.path())), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(test::readFile(file),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f000]- "
              "[SegCs:00000033, Eip:fedcba9876543210]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000094, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");
    EXPECT_FALSE(test::exists(elsewhere.file("error.txt")));
    SetCurrentDirectoryW(previous);
}

TEST(CrashFilter, EveryStepRunsWhateverBecameOfTheOthers) {
    test::ScratchDir dir;
    Fault fault(0x401000, 0x22fd10, EXCEPTION_ACCESS_VIOLATION);

    // No such directory: nothing is written, the rest still happens.
    Observed unwritable;
    const std::string missing = dir.file("missing");
    EXPECT_EQ(reportCrash(&fault.info, unwritable.actions(missing)), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_FALSE(test::exists(joinPath(missing, "error.txt")));
    EXPECT_EQ(unwritable.started.size(), 1u);
    EXPECT_EQ(unwritable.messages.size(), 1u);

    // A step that throws does not keep the user from being told.
    Observed throwing;
    CrashActions actions = throwing.actions(dir.path());
    actions.startProgram = [](const std::string&) -> bool { throw std::runtime_error("no"); };
    EXPECT_EQ(reportCrash(&fault.info, actions), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_TRUE(test::exists(dir.file("error.txt")));
    EXPECT_EQ(throwing.messages.size(), 1u);

    // An unknown program directory never turns into the root of the current drive.
    Observed unknown;
    EXPECT_EQ(reportCrash(&fault.info, unknown.actions("")), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_TRUE(unknown.started.empty());
    EXPECT_EQ(unknown.messages.size(), 1u);
}

// The visible dialog box of a process, if it shows one.
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

// The installed handler in a child that really faults, started from another directory (as at
// log-on) that holds a decoy bug-report program.
TEST(CrashHandler, AFaultingProcessLeavesItsReportStartsTheBugProgramAndTellsTheUser) {
    test::ScratchDir scratch;
    const std::string programDir = scratch.file("program dir");
    copyHelper("crash_child.exe", programDir, "crash_child.exe");
    copyHelper("crash_bug_helper.exe", programDir, "BrisaluneBug.exe");
    copyHelper("crash_bug_helper.exe", scratch.path(), "BrisaluneBug.exe");

    const std::wstring application = widen(joinPath(programDir, "crash_child.exe"));
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, widen(scratch.path()).c_str(), &startup, &process));
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
    EXPECT_EQ(narrow(text), kMessage);
    // error.txt and the bug-report program come before the message box.
    const std::string marker = joinPath(programDir, "bug-ran.txt");
    EXPECT_TRUE(waitFor(marker, 30s)) << "the bug-report program beside the exe did not run";
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
    EXPECT_FALSE(startBugReportProgram(joinPath(scratch.file("nowhere"), "BrisaluneBug.exe")));

    // One report of the fault: the instruction that faulted is where the exception was raised.
    ASSERT_EQ(report.size(), 205u) << report;
    const std::string eip = report.substr(report.find("Eip:") + 4, 16);
    EXPECT_EQ(report.substr(report.find("ExceptionAddress:") + 17, 16), eip);
    EXPECT_NE(eip, "0000000000000000");
    EXPECT_EQ(report.substr(report.find("ExceptionCode:")),
              "ExceptionCode:00000000c0000005, ExceptionFlags:0000000000000000]\r\n\r\n");
}

}  // namespace
}  // namespace brisalune
