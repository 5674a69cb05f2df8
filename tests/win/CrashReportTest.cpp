// The crash handler on made-up faults with observed steps, and in child processes that really
// fault and start a stand-in bug-report program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "app/CrashReport.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

// The steps of a report on a made-up fault, noted instead of taken.
std::vector<std::string> stepsOf(const std::string& directory, bool startThrows = false,
                                 const std::string* dataDirectory = nullptr) {
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
    std::vector<std::string> steps;
    const CrashActions actions{directory, dataDirectory != nullptr ? *dataDirectory : directory,
                               [&](const std::string& path) {
                                   if (startThrows) {
                                       throw std::runtime_error("no");
                                   }
                                   steps.push_back("start " + path);
                                   return true;
                               },
                               [&](const std::string& text, unsigned flags) {
                                   steps.push_back("tell " + std::to_string(flags) + " " + text);
                               }};
    EXPECT_EQ(reportCrash(&fault, actions), EXCEPTION_EXECUTE_HANDLER);
    return steps;
}

TEST(CrashFilter, WritesTheRegistersBesideTheExeStartsTheBugProgramThereAndTellsTheUser) {
    test::ScratchDir dir;
    test::writeFile(dir.file("error.txt"), std::string(2000, 'x'));
    const std::string tell = "tell " + std::to_string(MB_ICONERROR | MB_OK) + " " + kCrashMessage;
    EXPECT_EQ(stepsOf(dir.path()),
              (std::vector<std::string>{"start " + dir.path() + "\\BrisaluneBug.exe", tell}));
    // Text mode: the report's line feed and the one after it both become CR LF.
    EXPECT_EQ(test::readFile(dir.file("error.txt")),
              "[SegSs:0000002b, Ebp:00007ffdf00dbeef, Esp:000000000014f9a0]- "
              "[SegCs:00000033, Eip:fedcba9876543210]-"
              "[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000001]\r\n\r\n");

    // Whatever becomes of one step, the others are taken; an unknown program directory never
    // becomes a drive's root.
    EXPECT_EQ(stepsOf(dir.file("missing")).back(), tell);
    EXPECT_FALSE(test::exists(dir.file("missing")));
    EXPECT_EQ(stepsOf(dir.path(), true), std::vector<std::string>{tell});
    EXPECT_EQ(stepsOf(""), std::vector<std::string>{tell});

    // With the user's files in a folder of their own, the report goes there; the bug-report
    // program is still the one beside the exe.
    const std::string data = dir.file("data");
    std::filesystem::create_directories(test::fsPath(data));
    std::filesystem::remove(test::fsPath(dir.file("error.txt")));
    EXPECT_EQ(stepsOf(dir.path(), false, &data).front(),
              "start " + dir.path() + "\\BrisaluneBug.exe");
    EXPECT_EQ(test::readFile(joinPath(data, "error.txt")).size(), 205u);
    EXPECT_FALSE(test::exists(dir.file("error.txt")));
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
        EXPECT_TRUE(test::eventually([&] { return (box = dialogOf(process.dwProcessId)); }, 30s))
            << "the crashed child showed no message box";
        wchar_t text[512] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 512);  // a message box's text
        EXPECT_EQ(narrow(text), kCrashMessage);
        EXPECT_EQ(GetWindow(box, GW_OWNER) != nullptr, ownedBox);
        // Timer ticks and thread messages have had their time to reach the box's loop.
        std::this_thread::sleep_for(500ms);
        EXPECT_FALSE(test::exists(joinPath(programDir, "reentered.txt")));
        // error.txt and the bug-report program come before the message box.
        const std::string marker = joinPath(programDir, "bug-ran.txt");
        EXPECT_TRUE(test::eventually([&] { return test::exists(marker); }, 30s));
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
