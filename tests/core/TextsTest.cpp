#include <gtest/gtest.h>

#include "base/Texts.h"
#include "engine/RefreshLog.h"

namespace brisalune {
namespace {

TEST(TimeText, PadsWithBlanksNeverZeros) {
    EXPECT_EQ(timeText(9, 5, 3), " 9: 5: 3");
    EXPECT_EQ(timeText(23, 59, 59), "23:59:59");
    EXPECT_EQ(timeText(0, 0, 0), " 0: 0: 0");
    const std::string now = timeText();
    ASSERT_EQ(now.size(), 8u);
    EXPECT_EQ(now[2], ':');
    EXPECT_EQ(now[5], ':');
}

TEST(TemperatureText, ConvertsWithTruncationTowardZero) {
    const std::string degree = "\xC2\xB0";
    EXPECT_EQ(temperatureText(33, false), "0" + degree + "C");
    EXPECT_EQ(temperatureText(0, false), "-17" + degree + "C");
    EXPECT_EQ(temperatureText(-40, false), "-40" + degree + "C");
    EXPECT_EQ(temperatureText(212, false), "100" + degree + "C");
    EXPECT_EQ(temperatureText(-3, false), "-19" + degree + "C");
    EXPECT_EQ(temperatureText(-3, true), "-3" + degree + "F");
    EXPECT_EQ(temperatureText(2147483647, false), "1193046452" + degree + "C");
}

TEST(ProgramDirectory, EverythingFromTheLastBackslashGoes) {
    EXPECT_EQ(directoryOf("C:\\Program Files\\Brisalune\\Brisalune.exe"),
              "C:\\Program Files\\Brisalune");
    // A program in a drive's root: its city list is then "C:" + "\\citylist.xml".
    EXPECT_EQ(directoryOf("C:\\Brisalune.exe"), "C:");
    EXPECT_EQ(directoryOf("Brisalune.exe"), "");
}

TEST(ImagePaths, ConditionAndFlagFiles) {
    const std::string s(1, kPathSeparator);
    EXPECT_EQ(conditionImagePath("C:", 32), "C:" + s + "img" + s + "fc_32.gif");
    EXPECT_EQ(conditionImagePath("dir", -1), "dir" + s + "img" + s + "fc_-1.gif");
    EXPECT_EQ(FlagImagePath("dir", "do"), "dir" + s + "img" + s + "do1.png");
    EXPECT_EQ(FlagImagePath("dir", "DO"), "dir" + s + "img" + s + "DO.png");
    EXPECT_EQ(FlagImagePath("dir", "gb"), "dir" + s + "img" + s + "gb.png");
}

TEST(RefreshLog, AppendsWholeEntriesAndDropsOldestPastTheLimit) {
    RefreshLog log(100);
    EXPECT_EQ(log.snapshot(), "");
    log.append("\r\nfirst entry of thirty bytes..");
    log.append("CInternetException * e");
    EXPECT_EQ(log.snapshot(), "\r\nfirst entry of thirty bytes..CInternetException * e");

    for (int i = 0; i < 10; ++i) {
        log.append("\r\nentry " + std::to_string(i) + " padded to twenty");
    }
    const std::string text = log.snapshot();
    EXPECT_LE(text.size(), 100u);
    // Only whole entries go: what remains starts at an entry's line break and ends with the last.
    EXPECT_EQ(text.rfind("\r\nentry 9 padded to twenty"), text.size() - 26);
    EXPECT_EQ(text.substr(0, 8), "\r\nentry ");
    EXPECT_EQ(text.find("first"), std::string::npos);

    const std::string huge(300, 'x');
    log.append(huge);
    EXPECT_EQ(log.snapshot(), huge);

    log.clear();
    EXPECT_EQ(log.snapshot(), "");
}

}  // namespace
}  // namespace brisalune
