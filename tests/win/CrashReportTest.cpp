// The crash handler on made-up faults with observed steps, with the real process start of a
// stand-in bug-report program, and in a child process that really faults.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "app/CrashReport.h"
#include "app/Program.h"
#include "app/Texts.h"
#include "app/WideText.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

const std::string kMessage =
    "Sorry for the bug, we will improve the Brisalune. \nAnd we will fix this bug in next version. "
    "\nPlease restart the Brisalune.";

struct Observed {
    std::vector<std::string> started;
    std::vector<std::pair<std::string, unsigned>> messages;
};

CrashActions observing(const std::string& directory, Observed& seen) {
    CrashActions actions;
    actions.programDirectory = directory;
    actions.startProgram = [&seen](const std::string& path) {
        seen.started.push_back(path);
        return true;
    };
    actions.showMessage = [&seen](const std::string& text, unsigned flags) {
        seen.messages.emplace_back(text, flags);
    };
    return actions;
}

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

// Puts the process in another current directory for the test's length.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) {
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = previous;
        EXPECT_TRUE(SetCurrentDirectoryW(widen(path).c_str()));
    }
    ~CurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }

private:
    std::wstring previous_;
};

std::string testExeBeside(const std::string& name) {
    return joinPath(programDirectory(), name);
}

void copyTo(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(test::fsPath(from), test::fsPath(to));
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

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

TEST(CrashFilter, WritesTheReportStartsTheBugProgramBesideTheExeAndTellsTheUser) {
    test::ScratchDir dir;
    test::ScratchDir elsewhere;
    CurrentDirectory current(elsewhere.path());
    const std::string file = dir.file("error.txt");
    test::writeFile(file, std::string(2000, 'x'));

    Observed seen;
    Fault fault(0x12ab34, 0x14f9a0, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(reportCrash(&fault.info, observing(dir.path(), seen)), EXCEPTION_EXECUTE_HANDLER);

    // Text mode: the report's line feed and the one after it both become CR LF.
    EXPECT_EQ(test::readFile(file),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f9a0]- "
              "[SegCs:00000033, Eip:000000000012ab34]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");
    EXPECT_EQ(seen.started, std::vector<std::string>{dir.path() + "\\BrisaluneBug.exe"});
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.messages[0].first, kMessage);
    EXPECT_EQ(seen.messages[0].second, static_cast<unsigned>(MB_ICONERROR | MB_OK));

    // A second crash leaves its own report only.
    Fault again(0xfedcba9876543210ULL, 0x14f000, EXCEPTION_INT_DIVIDE_BY_ZERO);
    EXPECT_EQ(reportCrash(&again.info, observing(dir.path(), seen)), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(test::readFile(file),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f000]- "
              "[SegCs:00000033, Eip:fedcba9876543210]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000094, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");
    EXPECT_EQ(seen.started.size(), 2u);
    EXPECT_EQ(seen.messages.size(), 2u);
    EXPECT_FALSE(test::exists(elsewhere.file("error.txt")));
}

TEST(CrashFilter, EveryStepRunsWhateverBecameOfTheOthers) {
    test::ScratchDir dir;
    Fault fault(0x401000, 0x22fd10, EXCEPTION_ACCESS_VIOLATION);

    // No such directory: nothing is written, the rest still happens.
    Observed unwritable;
    const std::string missing = dir.file("missing");
    EXPECT_EQ(reportCrash(&fault.info, observing(missing, unwritable)), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_FALSE(test::exists(joinPath(missing, "error.txt")));
    EXPECT_EQ(unwritable.started.size(), 1u);
    EXPECT_EQ(unwritable.messages.size(), 1u);

    // A step that throws does not keep the user from being told.
    Observed throwing;
    CrashActions actions = observing(dir.path(), throwing);
    actions.startProgram = [](const std::string&) -> bool { throw std::runtime_error("no"); };
    EXPECT_EQ(reportCrash(&fault.info, actions), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_TRUE(test::exists(dir.file("error.txt")));
    EXPECT_EQ(throwing.messages.size(), 1u);

    // An unknown program directory never turns into the root of the current drive.
    Observed unknown;
    EXPECT_EQ(reportCrash(&fault.info, observing("", unknown)), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_TRUE(unknown.started.empty());
    EXPECT_EQ(unknown.messages.size(), 1u);
}

TEST(CrashFilter, RealStartRunsTheBugProgramInTheProgramDirectoryNeverTheCurrentOne) {
    test::ScratchDir scratch;
    const std::string programDir = scratch.file("program dir");
    const std::string currentDir = scratch.file("current");
    std::filesystem::create_directories(test::fsPath(programDir));
    std::filesystem::create_directories(test::fsPath(currentDir));
    const std::string helper = testExeBeside("crash_bug_helper.exe");
    copyTo(helper, joinPath(programDir, "BrisaluneBug.exe"));
    copyTo(helper, joinPath(currentDir, "BrisaluneBug.exe"));
    CurrentDirectory current(currentDir);

    Observed seen;
    CrashActions actions = observing(programDir, seen);
    actions.startProgram = startBugReportProgram;
    Fault fault(0x12ab34, 0x14f9a0, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(reportCrash(&fault.info, actions), EXCEPTION_EXECUTE_HANDLER);

    const std::string marker = joinPath(programDir, "bug-ran.txt");
    ASSERT_TRUE(waitFor(marker, 30s)) << "the bug-report program beside the exe did not run";
    // Started once, by the program directory's copy: the current directory's never ran.
    EXPECT_FALSE(test::exists(joinPath(currentDir, "bug-ran.txt")));
    // No arguments even though the path has a blank; started where it stands.
    std::string ran = test::readFile(marker);
    if (!ran.empty() && ran.back() == '\\') {
        ran.pop_back();
    }
    EXPECT_EQ(lower(ran), lower("arguments 0\n" + programDir));
    EXPECT_TRUE(test::exists(joinPath(programDir, "error.txt")));

    EXPECT_FALSE(startBugReportProgram(joinPath(scratch.file("nowhere"), "BrisaluneBug.exe")));
}

struct Box {
    DWORD process;
    HWND window = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM param) {
    auto* box = reinterpret_cast<Box*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (owner == box->process && std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
        box->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK longestStaticText(HWND child, LPARAM param) {
    auto* text = reinterpret_cast<std::string*>(param);
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    wchar_t buffer[512] = {};
    GetWindowTextW(child, buffer, 512);
    const std::string found = narrow(buffer);
    if (lower(narrow(name)) == "static" && found.size() > text->size()) {
        *text = found;
    }
    return TRUE;
}

TEST(CrashHandler, AFaultingProcessLeavesItsReportStartsTheBugProgramAndTellsTheUser) {
    test::ScratchDir scratch;
    const std::string programDir = scratch.file("child");
    std::filesystem::create_directories(test::fsPath(programDir));
    const std::string child = joinPath(programDir, "crash_child.exe");
    copyTo(testExeBeside("crash_child.exe"), child);
    copyTo(testExeBeside("crash_bug_helper.exe"), joinPath(programDir, "BrisaluneBug.exe"));

    const std::wstring application = widen(child);
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Started from elsewhere, as at log-on.
    ASSERT_TRUE(CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, widen(scratch.path()).c_str(), &startup, &process));
    CloseHandle(process.hThread);

    Box box{process.dwProcessId};
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (box.window == nullptr && std::chrono::steady_clock::now() < end &&
           WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&box));
        std::this_thread::sleep_for(50ms);
    }
    if (box.window == nullptr) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        FAIL() << "the crashed child showed no message box";
    }
    std::string text;
    EnumChildWindows(box.window, longestStaticText, reinterpret_cast<LPARAM>(&text));
    EXPECT_EQ(text, kMessage);
    // error.txt and the bug-report program come before the message box.
    EXPECT_TRUE(waitFor(joinPath(programDir, "bug-ran.txt"), 30s));
    const std::string report = test::readFile(joinPath(programDir, "error.txt"));

    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not end after the message box";
    EXPECT_EQ(exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    // One report of the fault: the instruction that faulted is where the exception was raised.
    ASSERT_EQ(report.size(), 205u) << report;
    EXPECT_EQ(report.substr(0, 7), "[SegSs:");
    const std::string eip = report.substr(report.find("Eip:") + 4, 16);
    const std::string address = report.substr(report.find("ExceptionAddress:") + 17, 16);
    EXPECT_EQ(eip, address);
    EXPECT_NE(eip, "0000000000000000");
    EXPECT_EQ(report.substr(report.find("ExceptionCode:")),
              "ExceptionCode:00000000c0000005, ExceptionFlags:0000000000000000]\r\n\r\n");
    EXPECT_FALSE(test::exists(scratch.file("error.txt")));
}

}  // namespace
}  // namespace brisalune
