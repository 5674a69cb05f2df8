#include <gtest/gtest.h>

#include "base/Texts.h"
#include "engine/RefreshLog.h"

namespace brisalune {
namespace {

TEST(Texts, TimesPadWithBlanksTemperaturesTruncateAndTheDirectoryEndsBeforeTheLastBackslash) {
    EXPECT_EQ(timeText(9, 5, 3), " 9: 5: 3");
    EXPECT_EQ(timeText(23, 59, 59), "23:59:59");
    const std::string degree = "\xC2\xB0";
    EXPECT_EQ(temperatureText(33, false), "0" + degree + "C");
    EXPECT_EQ(temperatureText(0, false), "-17" + degree + "C");
    EXPECT_EQ(temperatureText(-3, false), "-19" + degree + "C");
    EXPECT_EQ(temperatureText(-3, true), "-3" + degree + "F");
    EXPECT_EQ(temperatureText(2147483647, false), "1193046452" + degree + "C");
    EXPECT_EQ(directoryOf("C:\\Program Files\\Brisalune\\Brisalune.exe"),
              "C:\\Program Files\\Brisalune");
    EXPECT_EQ(directoryOf("C:\\Brisalune.exe"), "C:");
    EXPECT_EQ(directoryOf("Brisalune.exe"), "");
}

TEST(RefreshLog, AppendsWholeEntriesAndDropsOldestPastTheLimit) {
    RefreshLog log(100);
    log.append("\r\nfirst entry of thirty bytes..");
    log.append("CInternetException * e");
    EXPECT_EQ(log.snapshot(), "\r\nfirst entry of thirty bytes..CInternetException * e");
    for (int i = 0; i < 10; ++i) {
        log.append("\r\nentry " + std::to_string(i) + " padded to twenty");
    }
    // Only whole entries go: what remains starts at an entry's line break and ends with the last.
    const std::string text = log.snapshot();
    EXPECT_LE(text.size(), 100u);
    EXPECT_EQ(text.rfind("\r\nentry 9 padded to twenty"), text.size() - 26);
    EXPECT_EQ(text.substr(0, 8), "\r\nentry ");
    const std::string huge(300, 'x');
    log.append(huge);
    EXPECT_EQ(log.snapshot(), huge);
    log.clear();
    EXPECT_EQ(log.snapshot(), "");
}

}  // namespace
}  // namespace brisalune
