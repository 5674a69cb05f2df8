#include "app/CrashReport.h"

#include <cinttypes>
#include <cstdio>

#include "base/Texts.h"
#include "base/FileIo.h"

namespace brisalune {

std::string crashReportText(const CrashState& state) {
    // Each piece has its own buffer, as the bug-report program's format has always been built;
    // the longest piece is far below the size.
    char stack[256];
    char code[256];
    char record[256];
    std::snprintf(stack, sizeof stack,
                  "[SegSs:%08" PRIx64 ", Ebp:%016" PRIx64 ", Esp:%016" PRIx64 "]- ",
                  state.stackSegment, state.framePointer, state.stackPointer);
    std::snprintf(code, sizeof code, "[SegCs:%08" PRIx64 ", Eip:%016" PRIx64 "]-",
                  state.codeSegment, state.instructionPointer);
    std::snprintf(record, sizeof record,
                  "[ExceptionAddress:%016" PRIx64 ", ExceptionCode:%016" PRIx64
                  ", ExceptionFlags:%016" PRIx64 "]\n",
                  state.exceptionAddress, state.exceptionCode, state.exceptionFlags);
    return std::string(stack) + code + record;
}

bool writeCrashReport(const std::string& directory, const std::string& report) {
    // "w+" empties an earlier report: the bug-report program reads the last crash only.
    FILE* file = fileio::open(joinPath(directory, kCrashReportFile), "w+");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fprintf(file, "%s\n", report.c_str()) >= 0;
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace brisalune
