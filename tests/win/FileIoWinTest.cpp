#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"
#include "base/FileIo.h"
#include "base/WideText.h"
#include "engine/JobQueue.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;

TEST(FileIoWin, NonAsciiPathsAndAtomicReplaceOfAnOpenTarget) {
    test::ScratchDir dir;
    const std::string target = dir.file("\xE5\x9F\x8E\xE5\xB8\x82 list.xml");  // 城市
    ASSERT_TRUE(
        fileio::writeAtomically(target, [](FILE* file) { return std::fputs("one\n", file) >= 0; }));
    // Text mode, as the program's files have always been written.
    EXPECT_EQ(test::readFile(target), "one\r\n");
    ASSERT_TRUE(
        fileio::writeAtomically(target, [](FILE* file) { return std::fputs("two\n", file) >= 0; }));
    EXPECT_EQ(test::readFile(target), "two\r\n");
    EXPECT_FALSE(test::exists(target + ".tmp"));

    // A writer that fails leaves the previous file and no temporary file behind.
    EXPECT_FALSE(fileio::writeAtomically(target, [](FILE*) { return false; }));
    EXPECT_EQ(test::readFile(target), "two\r\n");
    EXPECT_FALSE(test::exists(target + ".tmp"));
}

const std::pair<const char*, const char*> kFiles[] = {
    {"citylist.xml", "<citylist><city name=\"A\" param=\"a\" /></citylist>"},
    {"settings.xml", "<Settings><days days=\"5\" /></Settings>"},
    {"widgetlist.xml", "<widgetlist><widget name=\"A\" param=\"a\" /></widgetlist>"},
};

// The program's three files, each held open without sharing from the start of the test, as a
// virus scanner or a sync program holds a file for a while.
class HeldDataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [name, text] : kFiles) {
            test::writeFile(dir.file(name), text);
            handles.push_back(CreateFileW(widen(dir.file(name)).c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        }
    }
    void TearDown() override {
        if (holder.joinable()) {
            holder.join();
        }
        letGo();
    }
    void letGo() {
        for (HANDLE handle : std::exchange(handles, {})) {
            CloseHandle(handle);
        }
    }
    void start() {
        EnginePlatform platform{dir.path(), &queue, &notifier, &timer, &runEntry};
        platform.tellUser = [this](const std::string& text) { told.push_back(text); };
        engine.initialise(platform);
    }

    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    std::vector<std::string> told;
    std::vector<HANDLE> handles;
    std::thread holder;
};

TEST_F(HeldDataFiles, AreReadOnceTheOtherProgramLetsGo) {
    holder = std::thread([this] {
        std::this_thread::sleep_for(1s);
        letGo();
    });
    const auto begin = std::chrono::steady_clock::now();
    start();
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 900ms);
    EXPECT_EQ(engine.cityCount(), 1);
    EXPECT_EQ(engine.shareDays(), 5);
    EXPECT_TRUE(told.empty());
    engine.removeCity(0);
    EXPECT_NE(test::readFile(dir.file("widgetlist.xml")), kFiles[2].second)
        << "the list followed its city";
}

TEST_F(HeldDataFiles, ThatStayUnreadableAreNeverWrittenOverAndTheUserIsToldOnce) {
    start();
    letGo();
    const std::string message = told.empty() ? "" : told[0];
    const std::string log = engine.log().snapshot();
    for (const auto& [name, text] : kFiles) {
        EXPECT_NE(message.find(dir.file(name)), std::string::npos) << message;
        EXPECT_NE(log.find(dir.file(name) + " cannot be read"), std::string::npos) << log;
    }
    // Every change that would write a file, now that nothing holds them any more.
    engine.addCity(WeatherJob(-1, "B", "b", ORIGIN_USER));
    engine.refreshAll(ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), test::makeDays(5));
    engine.removeCity(0);
    Settings settings = engine.copySettings();
    settings.unit = "1";
    engine.applySettings(settings);
    engine.flush();
    for (const auto& [name, text] : kFiles) {
        EXPECT_EQ(test::readFile(dir.file(name)), text) << name;
        EXPECT_FALSE(test::exists(dir.file(name) + ".tmp"));
    }
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(HeldDataFiles, AListHeldWhileItIsSavedIsWrittenOnceTheOtherProgramLetsGo) {
    letGo();
    start();
    // A reader that shares reading and writing but not deletion, as most programs open a file:
    // the list cannot be replaced while it holds it.
    HANDLE reader =
        CreateFileW(widen(dir.file("citylist.xml")).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    engine.refreshAll(ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), test::makeDays(5));
    const auto begin = std::chrono::steady_clock::now();
    engine.flush();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 15s) << "Exit does not wait for ever";
    EXPECT_EQ(test::readFile(dir.file("citylist.xml")), kFiles[0].second);
    CloseHandle(reader);
    // No further change comes: the forecast still reaches the disk.
    EXPECT_TRUE(test::eventually(
        [&] { return test::savedCities(dir.path()).at(0)->days() == test::makeDays(5); }, 10s));
}

}  // namespace
}  // namespace brisalune
