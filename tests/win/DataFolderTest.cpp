// Where the user's files go: the real probe against folders Wine really can and cannot write,
// and the choice with the files it finds beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "base/DataFolder.h"
#include "base/Texts.h"
#include "base/WideText.h"

namespace brisalune {
namespace {

// Tests run as root, for whom no folder of a disk is closed. Wine's Z: drive reaches the
// kernel's own file systems, where nobody may create a file: real folders a user cannot write.
const char kClosedFolder[] = "Z:\\proc";

TEST(DataFolder, TheProbeAsksTheFileSystemAndLeavesNothingBehind) {
    test::ScratchDir dir;
    const struct {
        std::string directory;
        bool writable;
    } cases[] = {
        {dir.path(), true},
        {dir.file("no such folder"), false},
        {kClosedFolder, false},
        {"Z:\\sys", false},
        {"", false},
    };
    for (const auto& [directory, writable] : cases) {
        EXPECT_EQ(isWritableDirectory(directory), writable) << directory;
    }
    EXPECT_TRUE(std::filesystem::is_empty(test::fsPath(dir.path())));
}

class DataFolderChoice : public ::testing::Test {
  protected:
    DataFolderChoice() {
        std::filesystem::create_directories(test::fsPath(program));
        std::filesystem::create_directories(test::fsPath(dir.file("AppData")));
    }

    test::ScratchDir dir;
    const std::string program = dir.file("Program Files\\Brisalune");
    const std::string perUser = dir.file("AppData\\Brisalune");
};

TEST_F(DataFolderChoice, AWritableProgramFolderKeepsTheFiles) {
    test::writeFile(joinPath(program, "citylist.xml"), "<citylist />");
    EXPECT_EQ(chooseDataDirectory(program, isWritableDirectory(program), perUser), program);
    EXPECT_FALSE(test::exists(perUser));
}

TEST_F(DataFolderChoice, AClosedProgramFolderMovesThemToThePerUserFolder) {
    EXPECT_EQ(chooseDataDirectory(kClosedFolder, isWritableDirectory(kClosedFolder), perUser),
              perUser);
    EXPECT_TRUE(std::filesystem::is_directory(test::fsPath(perUser)));

    // Files beside the program start the per-user folder, byte for byte; one it already holds
    // is the user's later change and stays. The program never makes a widget list.
    const std::string cities = "<citylist><city name=\"Z\xC3\xBCrich\" param=\"x\" /></citylist>\n";
    test::writeFile(joinPath(program, "citylist.xml"), cities);
    test::writeFile(joinPath(program, "settings.xml"), "<Settings><days days=\"5\" /></Settings>");
    test::writeFile(joinPath(perUser, "settings.xml"), "mine");
    EXPECT_EQ(chooseDataDirectory(program, false, perUser), perUser);
    EXPECT_EQ(test::readFile(joinPath(perUser, "citylist.xml")), cities);
    EXPECT_EQ(test::readFile(joinPath(perUser, "settings.xml")), "mine");
    EXPECT_FALSE(test::exists(joinPath(perUser, "widgetlist.xml")));

    // Once copied, a file is the per-user folder's own.
    test::writeFile(joinPath(perUser, "citylist.xml"), "<citylist />");
    EXPECT_EQ(chooseDataDirectory(program, false, perUser), perUser);
    EXPECT_EQ(test::readFile(joinPath(perUser, "citylist.xml")), "<citylist />");
}

TEST_F(DataFolderChoice, WhatCannotBeCopiedKeepsTheProgramFolderForTheRun) {
    // No folder to make the per-user one in.
    EXPECT_EQ(chooseDataDirectory(program, false, dir.file("gone\\Brisalune")), program);
    EXPECT_EQ(chooseDataDirectory(program, false, ""), program);

    // A file held without sharing (a virus scanner) is not left behind for good.
    test::writeFile(joinPath(program, "widgetlist.xml"), "<widgetlist />");
    const HANDLE held = CreateFileW(widen(joinPath(program, "widgetlist.xml")).c_str(),
                                    GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(chooseDataDirectory(program, false, perUser), program);
    CloseHandle(held);
    EXPECT_EQ(chooseDataDirectory(program, false, perUser), perUser);
    EXPECT_EQ(test::readFile(joinPath(perUser, "widgetlist.xml")), "<widgetlist />");
}

}  // namespace
}  // namespace brisalune
