#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/CrashReport.h"
#include "base/Texts.h"

namespace brisalune {
namespace {

TEST(CrashReport, OneLineOfZeroFilledLowerCaseFieldsInAFileThatHoldsTheLastReportOnly) {
    CrashState state{0x2b,       0x22fe40, 0xffffffff80000000ULL, 0x33, 0x12ab34, 0x12ab34,
                     0xC0000005, 1};
    const std::string first = crashReportText(state);
    EXPECT_EQ(first,
              "[SegSs:0000002b, Ebp:000000000022fe40, Esp:ffffffff80000000]- "
              "[SegCs:00000033, Eip:000000000012ab34]-"
              "[ExceptionAddress:000000000012ab34, ExceptionCode:00000000c0000005, "
              "ExceptionFlags:0000000000000001]\n");
    // A segment wider than its eight digits is shown whole rather than cut.
    state.codeSegment = 0x123456789ULL;
    state.instructionPointer = 0xFEDCBA9876543210ULL;
    const std::string second = crashReportText(state);
    EXPECT_NE(second.find("[SegCs:123456789, Eip:fedcba9876543210]-"), std::string::npos);

    test::ScratchDir dir;
    test::writeFile(dir.file("error.txt"), std::string(1000, 'x'));
    ASSERT_TRUE(writeCrashReport(dir.path(), first));
    EXPECT_EQ(test::readText(dir.file("error.txt")), first + "\n");
    ASSERT_TRUE(writeCrashReport(dir.path(), second));
    EXPECT_EQ(test::readText(dir.file("error.txt")), second + "\n");
    EXPECT_FALSE(writeCrashReport(dir.file("missing"), second));
}

}  // namespace
}  // namespace brisalune
