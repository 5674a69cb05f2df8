#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/CrashReport.h"
#include "base/Texts.h"

namespace brisalune {
namespace {

TEST(CrashReportText, ZeroFilledLowerCaseFieldsInOneLine) {
    CrashState state;
    state.stackSegment = 0x2b;
    state.framePointer = 0x22fe40;
    state.stackPointer = 0x22fd10;
    state.codeSegment = 0x33;
    state.instructionPointer = 0x12ab34;
    state.exceptionAddress = 0x12ab34;
    state.exceptionCode = 0xC0000005;
    state.exceptionFlags = 0;
    EXPECT_EQ(crashReportText(state),
              "[SegSs:0000002b, Ebp:000000000022fe40, Esp:000000000022fd10]- "
              "[SegCs:00000033, Eip:000000000012ab34]-"
              "[ExceptionAddress:000000000012ab34, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000000]\n");

    EXPECT_EQ(crashReportText(CrashState{}),
              "[SegSs:00000000, Ebp:0000000000000000, Esp:0000000000000000]- "
              "[SegCs:00000000, Eip:0000000000000000]-"
              "[ExceptionAddress:0000000000000000, ExceptionCode:0000000000000000, "
              "ExceptionFlags:0000000000000000]\n");
}

TEST(CrashReportText, SixtyFourBitValuesKeepEveryDigit) {
    CrashState state;
    state.framePointer = 0x00007ffdf00dbeefULL;
    state.stackPointer = 0xffffffff80000000ULL;
    state.instructionPointer = 0xFEDCBA9876543210ULL;
    state.exceptionAddress = 0x00007ff6a1b2c3d4ULL;
    state.exceptionCode = 0x80000003;
    state.exceptionFlags = 1;
    // A segment wider than its eight digits is shown whole rather than cut.
    state.codeSegment = 0x123456789ULL;
    const std::string text = crashReportText(state);
    EXPECT_NE(text.find("Ebp:00007ffdf00dbeef, Esp:ffffffff80000000]- "), std::string::npos)
        << text;
    EXPECT_NE(text.find("[SegCs:123456789, Eip:fedcba9876543210]-"), std::string::npos) << text;
    EXPECT_NE(text.find("[ExceptionAddress:00007ff6a1b2c3d4, ExceptionCode:0000000080000003, "
                        "ExceptionFlags:0000000000000001]\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1);
}

TEST(CrashReportFile, HoldsTheLastReportAndOneMoreLineFeed) {
    test::ScratchDir dir;
    const std::string file = dir.file("error.txt");
    test::writeFile(file, std::string(1000, 'x'));

    CrashState first;
    first.instructionPointer = 0x401000;
    const std::string firstReport = crashReportText(first);
    ASSERT_TRUE(writeCrashReport(dir.path(), firstReport));
    EXPECT_EQ(test::readText(file), firstReport + "\n");

    // A later crash replaces the file; nothing of the earlier report is left behind it.
    CrashState second;
    second.instructionPointer = 0x402000;
    const std::string secondReport = crashReportText(second);
    ASSERT_TRUE(writeCrashReport(dir.path(), secondReport));
    EXPECT_EQ(test::readText(file), secondReport + "\n");

    EXPECT_FALSE(writeCrashReport(joinPath(dir.path(), "missing"), secondReport));
    EXPECT_FALSE(test::exists(joinPath(joinPath(dir.path(), "missing"), "error.txt")));
}

}  // namespace
}  // namespace brisalune
