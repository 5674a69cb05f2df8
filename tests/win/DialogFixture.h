// The engine as the dialogs meet it in the program: loaded from real files in a program
// directory of its own, with the condition pictures beside it and the registry's Run entry.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "engine/JobQueue.h"
#include "engine/RefreshEngine.h"
#include "engine/ThreadMessageNotifier.h"
#include "store/RegistryRunEntry.h"
#include "win/Dialog.h"
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

// The user of the thread's dialogs while it lives: message boxes get the answers in order (No
// once they run out), every menu the one choice; `whenShown` plays each modal dialog.
struct Script {
    std::deque<int> answers;
    UINT menuAnswer = 0;
    std::vector<std::wstring> questions;  // "caption: text"
    std::vector<std::wstring> menus;      // the items, joined by "|"
    std::function<void()> whileAsked;     // runs once, while the next question is open
    std::function<void(win::Dialog&)> whenShown = [](win::Dialog&) {};

    win::ScriptedUserScope scope{win::ScriptedUser{
        [this](win::Dialog&, const std::wstring& text, const std::wstring& caption, UINT) {
            questions.push_back(caption + L": " + text);
            if (whileAsked) {
                std::exchange(whileAsked, nullptr)();
            }
            const int answer = answers.empty() ? IDNO : answers.front();
            if (!answers.empty()) {
                answers.pop_front();
            }
            return answer;
        },
        [this](win::Dialog&, HMENU menu) {
            std::wstring items;
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                wchar_t text[64] = {};
                GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                items += (i > 0 ? L"|" : L"") + std::wstring(text);
            }
            menus.push_back(items);
            return menuAnswer;
        },
        [this](win::Dialog& dialog) { whenShown(dialog); }}};
};

// A <forecast> element of citylist.xml.
inline std::string forecastXml(int low, int high, int sky, const std::string& text,
                               const std::string& day) {
    return "<forecast low=\"" + std::to_string(low) + "\" high=\"" + std::to_string(high) +
           "\" skycodeday=\"" + std::to_string(sky) + "\" skytextday=\"" + text + "\" day=\"" +
           day + "\" />";
}

}  // namespace brisalune::test
