#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "base/WideText.h"
#include "base/FileIo.h"

namespace brisalune {
namespace {

TEST(FileIoWin, NonAsciiPathsAndAtomicReplaceOfAnOpenTarget) {
    test::ScratchDir dir;
    const std::string target = dir.file("\xE5\x9F\x8E\xE5\xB8\x82 list.xml");  // 城市
    ASSERT_TRUE(
        fileio::writeAtomically(target, [](FILE* file) { return std::fputs("one\n", file) >= 0; }));
    // Text mode, as the program's files have always been written.
    EXPECT_EQ(test::readFile(target), "one\r\n");
    EXPECT_EQ(GetFileAttributesW(widen(target).c_str()) != INVALID_FILE_ATTRIBUTES, true);

    ASSERT_TRUE(
        fileio::writeAtomically(target, [](FILE* file) { return std::fputs("two\n", file) >= 0; }));
    EXPECT_EQ(test::readFile(target), "two\r\n");
    EXPECT_FALSE(test::exists(target + ".tmp"));

    // A writer that fails leaves the previous file and no temporary file behind.
    EXPECT_FALSE(fileio::writeAtomically(target, [](FILE*) { return false; }));
    EXPECT_EQ(test::readFile(target), "two\r\n");
    EXPECT_FALSE(test::exists(target + ".tmp"));
}

}  // namespace
}  // namespace brisalune
