// The engine as the dialogs meet it in the program: loaded from real files in a program
// directory of its own, with the condition pictures beside it and the registry's Run entry.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "engine/ThreadMessageNotifier.h"
#include "store/RegistryRunEntry.h"
#include "win/Window.h"

namespace brisalune::test {

class DialogFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(fsPath(sourcePath("res/img")), fsPath(dir.file("img")));
        runEntry.RemoveRunEntry();
    }
    void TearDown() override {
        win::pumpWaitingMessages();
        // A Run value left behind would start a stale program at the prefix's next start.
        runEntry.RemoveRunEntry();
    }

    // `cities` are <city> elements of citylist.xml.
    void start(const std::string& cities, const std::string& settings = std::string()) {
        writeFile(dir.file("citylist.xml"), "<citylist>" + cities + "</citylist>");
        if (!settings.empty()) {
            writeFile(dir.file("settings.xml"), settings);
        }
        engine.initialise(EnginePlatform{dir.path(), &queue, &notifier, &timer, &runEntry});
    }

    ScratchDir dir;
    JobQueue queue;
    ThreadMessageNotifier notifier;
    FakeTimer timer;
    RegistryRunEntry runEntry;
    RefreshEngine engine;
};

// A <forecast> element of citylist.xml.
inline std::string forecastXml(int low, int high, int sky, const std::string& text,
                               const std::string& day) {
    return "<forecast low=\"" + std::to_string(low) + "\" high=\"" + std::to_string(high) +
           "\" skycodeday=\"" + std::to_string(sky) + "\" skytextday=\"" + text + "\" day=\"" +
           day + "\" />";
}

}  // namespace brisalune::test
