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

// The program's three files, held open without sharing, as a virus scanner or a sync program
// holds a file for a while.
class HeldDataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames) {
            test::writeFile(dir.file(name), contents(name));
        }
    }
    void TearDown() override {
        if (holder_.joinable()) {
            holder_.join();
        }
        letGo();
    }

    static std::string contents(const std::string& name) {
        return name == "citylist.xml" ? "<citylist><city name=\"A\" param=\"a\" /></citylist>"
               : name == "settings.xml"
                   ? "<Settings><days days=\"5\" /></Settings>"
                   : "<widgetlist><widget name=\"A\" param=\"a\" /></widgetlist>";
    }

    void holdAll() {
        for (const char* name : kNames) {
            handles_.push_back(CreateFileW(widen(dir.file(name)).c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
            ASSERT_NE(handles_.back(), INVALID_HANDLE_VALUE);
        }
    }
    void letGo() {
        for (HANDLE& handle : handles_) {
            CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE));
        }
    }

    // Starts an engine over the directory; answers how long its start took.
    std::chrono::milliseconds start() {
        const auto begin = std::chrono::steady_clock::now();
        EnginePlatform platform{dir.path(), &queue, &notifier, &timer, &runEntry};
        platform.tellUser = [this](const std::string& text) { told.push_back(text); };
        engine.initialise(platform);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - begin);
    }

    static constexpr const char* kNames[] = {"citylist.xml", "settings.xml", "widgetlist.xml"};
    test::ScratchDir dir;
    JobQueue queue;
    test::FakeNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    std::vector<std::string> told;
    std::vector<HANDLE> handles_;
    std::thread holder_;
};

TEST_F(HeldDataFiles, AreReadOnceTheOtherProgramLetsGo) {
    holdAll();
    holder_ = std::thread([this] {
        std::this_thread::sleep_for(1s);
        letGo();
    });
    EXPECT_GE(start(), 900ms);
    EXPECT_EQ(engine.cityCount(), 1);
    EXPECT_EQ(engine.shareDays(), 5);
    EXPECT_TRUE(told.empty());
    engine.removeCity(0);
    EXPECT_NE(test::readFile(dir.file("widgetlist.xml")), contents("widgetlist.xml"))
        << "the list followed its city";
}

TEST_F(HeldDataFiles, ThatStayUnreadableAreNeverWrittenOverAndTheUserIsToldOnce) {
    holdAll();
    start();
    letGo();
    const std::string message = told.empty() ? "" : told[0];
    const std::string log = engine.log().snapshot();
    for (const char* name : kNames) {
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
    for (const char* name : kNames) {
        EXPECT_EQ(test::readFile(dir.file(name)), contents(name)) << name;
        EXPECT_FALSE(test::exists(dir.file(name) + ".tmp"));
    }
    EXPECT_EQ(told.size(), 1u);
}

}  // namespace
}  // namespace brisalune
