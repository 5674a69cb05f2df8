// What the program leaves behind when a fault nothing handles ends it: the processor state in
// error.txt beside the user's files, picked up by the separate bug-report program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#ifdef _WIN32
struct _EXCEPTION_POINTERS;
#endif

namespace brisalune {

inline constexpr char kCrashReportFile[] = "error.txt";
inline constexpr char kBugReportProgram[] = "BrisaluneBug.exe";
inline constexpr char kCrashMessage[] =
    "Sorry for the bug, we will improve the Brisalune. \nAnd we will fix this bug in next "
    "version. \nPlease restart the Brisalune.";

// The registers at the fault and the exception record. The report's labels are the 32-bit
// register names (SegSs, Ebp, Esp, SegCs, Eip) whatever the processor: the bug-report program
// reads them so. On x64 they carry SegSs, Rbp, Rsp, SegCs and Rip, all 64 bits of each.
struct CrashState {
    uint64_t stackSegment = 0;
    uint64_t framePointer = 0;
    uint64_t stackPointer = 0;
    uint64_t codeSegment = 0;
    uint64_t instructionPointer = 0;
    uint64_t exceptionAddress = 0;
    uint64_t exceptionCode = 0;
    uint64_t exceptionFlags = 0;
};

// One line, ended by a line feed:
// "[SegSs:%08x, Ebp:%016x, Esp:%016x]- [SegCs:%08x, Eip:%016x]-[ExceptionAddress:%016x, ..."
// with lower-case, zero-filled hexadecimal; a wider value than its field keeps every digit.
std::string crashReportText(const CrashState& state);

// Creates or empties error.txt in the directory and writes the report and one more line feed,
// in text mode, so the file only ever holds the last crash. False when it could not be written.
bool writeCrashReport(const std::string& directory, const std::string& report);

#ifdef _WIN32

// The steps of a crash report, as seams: the installed handler uses the system's own; tests
// observe them without a blocking message box or a started process.
struct CrashActions {
    // Where the bug-report program is looked for, and where error.txt goes (the folder of the
    // user's files, which is the program's own unless that one cannot be written). An empty one
    // (a path that was unknown) leaves its step out rather than take a drive's root.
    std::string programDirectory;
    std::string dataDirectory;
    // Starts the program at this full path with no arguments; answers whether it started.
    std::function<bool(const std::string& path)> startProgram;
    // Shows the text (UTF-8) with these MessageBox flags and waits until it is closed.
    std::function<void(const std::string& text, unsigned flags)> showMessage;
};

// The program and data directories, startBugReportProgram, and a message box owned by the main
// window.
CrashActions systemCrashActions();

// Starts the program by exactly this path (never a search of the current directory or PATH),
// with no arguments, waits for nothing and keeps no handle. False when it did not start.
bool startBugReportProgram(const std::string& path);

// The whole report for one fault: error.txt, the bug-report program, the message to the user.
// Every step is attempted whatever became of the others. Answers EXCEPTION_EXECUTE_HANDLER, so
// the process ends without the system's own error dialog.
long reportCrash(const _EXCEPTION_POINTERS* info, const CrashActions& actions);

// Makes the crash report the process's handler of last resort. Calling it again (start-up does,
// once more when the background machinery starts) leaves the same handler in place.
void installCrashHandler();
// The same with other actions (tests: a crashing child that must not wait for a user).
void installCrashHandler(CrashActions actions);

#endif

}  // namespace brisalune
