// The Settings dialog in-process, over the engine's real settings file and the registry's Run
// entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "DialogFixture.h"
#include "resource.h"
#include "ui/CSettingsDlg.h"
#include "ui/CWidgetDlg.h"

namespace brisalune {
namespace {

std::string settingsXml(const Settings& s) {
    return "<Settings><unit val=\"" + s.unit + "\" /><timeval timeval=\"" + s.timeval +
           "\" /><days days=\"" + s.days + "\" /><startonboot startonboot=\"" + s.startonboot +
           "\" /></Settings>";
}

std::vector<std::wstring> entries(HWND combo) {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

class SettingsTest : public test::DialogFixture {
  protected:
    std::unique_ptr<CSettingsDlg> open(RefreshEngine& from) {
        auto dialog = std::make_unique<CSettingsDlg>(nullptr, from);
        EXPECT_TRUE(dialog->Create());
        return dialog;
    }
    static HWND control(CSettingsDlg& dialog, int id) { return GetDlgItem(dialog.hwnd(), id); }
    static int selection(CSettingsDlg& dialog, int id) {
        return static_cast<int>(SendMessageW(control(dialog, id), CB_GETCURSEL, 0, 0));
    }
    static bool checked(CSettingsDlg& dialog) {
        return IsDlgButtonChecked(dialog.hwnd(), IDC_START_ON_BOOT) == BST_CHECKED;
    }
    // What the user's pick from a drop-down list does.
    static void choose(CSettingsDlg& dialog, int id, int index) {
        SendMessageW(control(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control(dialog, id)));
    }
    static void click(CSettingsDlg& dialog, int id) {
        SendMessageW(control(dialog, id), BM_CLICK, 0, 0);
    }
};

TEST_F(SettingsTest, StoredTextsSelectTheirEntries) {
    struct Case {
        Settings stored;
        bool runEntry;
        int unit, rate, share;
        bool boot;
    };
    const Case cases[] = {
        {{"0", "1", "3", "1"}, true, 0, 1, 1, true},
        {{"1", "6", "5", "1"}, false, 1, 6, 2, false},  // no Run entry: start on boot is off
        {{"1", "0", "1", "0"}, true, 1, 0, 0, false},
        {{" +1", "12", "2", "yes"}, true, 1, -1, -1, false},
        {{"2", "-1", "05", "1 "}, true, -1, -1, 2, false},
        {{"Celsius", "hourly", "", "1"}, true, 0, 0, -1, true},
    };
    for (const Case& c : cases) {
        test::ScratchDir own;
        test::writeFile(own.file("settings.xml"), settingsXml(c.stored));
        if (c.runEntry) {
            runEntry.AddRunEntry("x");
        } else {
            runEntry.RemoveRunEntry();
        }
        RefreshEngine stored;
        stored.initialise(EnginePlatform{own.path(), &queue, &notifier, &timer, &runEntry});
        auto dialog = open(stored);
        const std::string name = c.stored.unit + "|" + c.stored.timeval + "|" + c.stored.days;
        EXPECT_EQ(selection(*dialog, IDC_UNIT), c.unit) << name;
        EXPECT_EQ(selection(*dialog, IDC_REFRESH_RATE), c.rate) << name;
        EXPECT_EQ(selection(*dialog, IDC_SHARE_DAYS), c.share) << name;
        EXPECT_EQ(checked(*dialog), c.boot) << name;
        EXPECT_EQ(entries(control(*dialog, IDC_UNIT)),
                  (std::vector<std::wstring>{L"Fahrenheit(\u00b0F)", L"Celsius (\u00b0C)"}));
        // Ok without a touch hands back exactly what was stored.
        EXPECT_EQ(dialog->settings(), stored.copySettings()) << name;
    }
}

TEST_F(SettingsTest, ChoicesWriteTheirTextsAndUntouchedValuesPassThrough) {
    runEntry.AddRunEntry("x");
    start("", settingsXml({"0", "12", "2", "1"}));
    auto dialog = open(engine);

    choose(*dialog, IDC_UNIT, 1);
    EXPECT_EQ(dialog->settings(), (Settings{"1", "12", "2", "1"}))
        << "timeval 12 and days 2 stay as stored while their controls are not touched";
    choose(*dialog, IDC_UNIT, 0);
    EXPECT_EQ(dialog->settings().unit, "0");
    for (int rate = 0; rate <= 6; ++rate) {
        choose(*dialog, IDC_REFRESH_RATE, rate);
        EXPECT_EQ(dialog->settings().timeval, std::to_string(rate));
    }
    const char* const days[] = {"1", "3", "5"};
    for (int i = 0; i < 3; ++i) {
        choose(*dialog, IDC_SHARE_DAYS, i);
        EXPECT_EQ(dialog->settings().days, days[i]);
    }
    click(*dialog, IDC_START_ON_BOOT);
    EXPECT_FALSE(checked(*dialog));
    EXPECT_EQ(dialog->settings().startonboot, "0");
    click(*dialog, IDC_START_ON_BOOT);
    EXPECT_EQ(dialog->settings().startonboot, "1");

    // Text typed into a combo's edit field is no choice.
    HWND rate = control(*dialog, IDC_REFRESH_RATE);
    SetWindowTextW(rate, L"3 hours");
    SendMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REFRESH_RATE, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(rate));
    EXPECT_EQ(dialog->settings().timeval, "6");
    // Nothing reaches the engine from the dialog itself.
    EXPECT_EQ(engine.copySettings(), (Settings{"0", "12", "2", "1"}));
}

// The Settings command of a real widget, with a script playing the user in the dialog.
class WidgetSettingsTest : public SettingsTest {
  protected:
    void SetUp() override {
        SettingsTest::SetUp();
        start("<city name=\"Z\xC3\xBCrich\" param=\"z\">" +
              test::forecastXml(50, 68, 32, "Sunny", "Monday") +
              "</city><city name=\"Lyon\" param=\"l\">" +
              test::forecastXml(14, 32, 28, "Cloudy", "Monday") + "</city>");
        widget = std::make_unique<CWidgetDlg>(engine, dir.path(), "");
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
        win::pumpWaitingMessages();
    }
    void TearDown() override {
        widget.reset();
        SettingsTest::TearDown();
    }

    // Opens Settings as the widget's button does; `script` plays the user in the dialog and
    // must end it.
    void openSettings(std::function<void(CSettingsDlg&)> script) {
        int opened = 0;
        win::ScriptedUser user;
        user.shown = [&](win::Dialog& shown) {
            ++opened;
            script(dynamic_cast<CSettingsDlg&>(shown));
        };
        win::ScriptedUserScope scope(std::move(user));
        SendMessageW(widget->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SETTINGS, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget->hwnd(), IDC_SETTINGS)));
        EXPECT_EQ(opened, 1);
        win::pumpWaitingMessages();
    }

    std::string low(size_t row) { return widget->rows().at(row)->text("low"); }
    // The timer's calls since the engine armed it at start.
    std::vector<std::string> timerCalls() {
        std::vector<std::string> calls = timer.calls();
        EXPECT_FALSE(calls.empty());
        return std::vector<std::string>(calls.begin() + (calls.empty() ? 0 : 1), calls.end());
    }

    std::unique_ptr<CWidgetDlg> widget;
};

TEST_F(WidgetSettingsTest, OkAppliesWhatChangedAndCancelNothing) {
    const std::string settingsFile = dir.file("settings.xml");
    // Cancel after changing everything: nothing moves, nothing is written.
    openSettings([](CSettingsDlg& d) {
        choose(d, IDC_UNIT, 1);
        choose(d, IDC_REFRESH_RATE, 6);
        click(d, IDC_START_ON_BOOT);
        click(d, IDC_SETTINGS_CANCEL);
    });
    EXPECT_EQ(engine.copySettings(), (Settings{"0", "1", "3", "0"}));
    EXPECT_FALSE(test::exists(settingsFile));
    EXPECT_TRUE(timerCalls().empty());
    EXPECT_EQ(low(0),
              "50\xC2\xB0"
              "F");

    engine.refreshAll(ORIGIN_USER);
    win::pumpWaitingMessages();
    ASSERT_EQ(widget->rows().at(1)->text("tips"), "refresh ...");
    openSettings([](CSettingsDlg& d) {
        choose(d, IDC_UNIT, 1);
        choose(d, IDC_REFRESH_RATE, 6);
        click(d, IDC_START_ON_BOOT);
        click(d, IDC_SETTINGS_OK);
    });
    EXPECT_EQ(low(0),
              "10\xC2\xB0"
              "C")
        << "every row is drawn again in the new unit";
    EXPECT_EQ(low(1),
              "-10\xC2\xB0"
              "C");
    EXPECT_EQ(widget->rows().at(1)->text("tips"), "");
    EXPECT_EQ(timerCalls(), std::vector<std::string>{"setHours 6"});
    EXPECT_TRUE(runEntry.IsRunEntryPresent());
    EXPECT_EQ(test::readText(settingsFile),
              "<Settings>\n    <unit val=\"1\" />\n    <timeval timeval=\"6\" />\n"
              "    <days days=\"3\" />\n    <startonboot startonboot=\"1\" />\n</Settings>\n");

    openSettings([](CSettingsDlg& d) {
        EXPECT_EQ(selection(d, IDC_UNIT), 1);
        EXPECT_TRUE(checked(d));
        choose(d, IDC_REFRESH_RATE, 0);
        click(d, IDC_START_ON_BOOT);
        click(d, IDC_SETTINGS_OK);
    });
    EXPECT_EQ(timerCalls(), (std::vector<std::string>{"setHours 6", "stop"}))
        << "manual refresh stops the timer";
    EXPECT_FALSE(runEntry.IsRunEntryPresent());
    EXPECT_EQ(engine.copySettings(), (Settings{"1", "0", "3", "0"}));
    EXPECT_NE(test::readText(settingsFile).find("<timeval timeval=\"0\" />"), std::string::npos);
}

}  // namespace
}  // namespace brisalune
