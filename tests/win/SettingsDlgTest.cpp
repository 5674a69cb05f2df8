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

int selection(CSettingsDlg& dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog.hwnd(), id, CB_GETCURSEL, 0, 0));
}
bool checked(CSettingsDlg& dialog) {
    return IsDlgButtonChecked(dialog.hwnd(), IDC_START_ON_BOOT) == BST_CHECKED;
}
// What the user's pick from a drop-down list does.
void choose(CSettingsDlg& dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog.hwnd(), id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}
void click(CSettingsDlg& dialog, int id) {
    SendDlgItemMessageW(dialog.hwnd(), id, BM_CLICK, 0, 0);
}

using SettingsTest = test::DialogFixture;

TEST_F(SettingsTest, StoredTextsSelectTheirEntriesAndOkWithoutATouchKeepsThem) {
    struct Case {
        Settings stored;
        bool runEntry;
        int unit, rate, share;
        bool boot;
    };
    const Case cases[] = {
        {{"0", "1", "3", "1"}, true, 0, 1, 1, true},
        {{"1", "6", "5", "1"}, false, 1, 6, 2, false},  // no Run entry: start on boot is off
        {{" +1", "12", "2", "yes"}, true, 1, -1, -1, false},
        {{"2", "-1", "05", "1 "}, true, -1, -1, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.unit + "|" + c.stored.timeval + "|" + c.stored.days);
        test::ScratchDir own;
        test::writeFile(own.file("settings.xml"), settingsXml(c.stored));
        c.runEntry ? runEntry.AddRunEntry("x") : runEntry.RemoveRunEntry();
        RefreshEngine stored;
        stored.initialise(EnginePlatform{own.path(), &queue, &notifier, &timer, &runEntry});
        CSettingsDlg dialog(nullptr, stored);
        ASSERT_TRUE(dialog.Create());
        EXPECT_EQ(selection(dialog, IDC_UNIT), c.unit);
        EXPECT_EQ(selection(dialog, IDC_REFRESH_RATE), c.rate);
        EXPECT_EQ(selection(dialog, IDC_SHARE_DAYS), c.share);
        EXPECT_EQ(checked(dialog), c.boot);
        EXPECT_EQ(dialog.settings(), stored.copySettings());
    }
}

TEST_F(SettingsTest, ChoicesWriteTheirTextsAndUntouchedValuesPassThrough) {
    runEntry.AddRunEntry("x");
    start("", settingsXml({"0", "12", "2", "1"}));
    CSettingsDlg dialog(nullptr, engine);
    ASSERT_TRUE(dialog.Create());
    choose(dialog, IDC_UNIT, 1);
    EXPECT_EQ(dialog.settings(), (Settings{"1", "12", "2", "1"}))
        << "timeval 12 and days 2 stay as stored while their controls are not touched";
    choose(dialog, IDC_UNIT, 0);
    EXPECT_EQ(dialog.settings().unit, "0");
    for (int rate = 0; rate <= 6; ++rate) {
        choose(dialog, IDC_REFRESH_RATE, rate);
        EXPECT_EQ(dialog.settings().timeval, std::to_string(rate));
    }
    for (int i = 0; i < 3; ++i) {
        choose(dialog, IDC_SHARE_DAYS, i);
        EXPECT_EQ(dialog.settings().days, std::to_string(1 + 2 * i));
    }
    click(dialog, IDC_START_ON_BOOT);
    EXPECT_EQ(dialog.settings().startonboot, "0");
    // Text typed into a combo's edit field is no choice.
    HWND rate = GetDlgItem(dialog.hwnd(), IDC_REFRESH_RATE);
    SetWindowTextW(rate, L"3 hours");
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REFRESH_RATE, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(rate));
    EXPECT_EQ(dialog.settings().timeval, "6");
    EXPECT_EQ(engine.copySettings(), (Settings{"0", "12", "2", "1"}))
        << "the dialog applies nothing";
}

// The widget's Settings button, with `play` as the user in the dialog.
TEST_F(SettingsTest, TheWidgetAppliesWhatChangedOnOkAndNothingOnCancel) {
    start("<city name=\"A\" param=\"a\">" + test::forecastXml(50, 68, 32, "Sunny", "Monday") +
          "</city>");
    CWidgetDlg widget(engine, dir.path(), "");
    win::setMainWindow(&widget);
    ASSERT_TRUE(widget.Create());
    const auto openSettings = [&](std::function<void(CSettingsDlg&)> play) {
        test::Script script;
        script.whenShown = [&](win::Dialog& shown) { play(dynamic_cast<CSettingsDlg&>(shown)); };
        SendMessageW(widget.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SETTINGS, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(widget.hwnd(), IDC_SETTINGS)));
        win::pumpWaitingMessages();
    };
    const auto changeAll = [](int ending) {
        return [ending](CSettingsDlg& d) {
            choose(d, IDC_UNIT, 1);
            choose(d, IDC_REFRESH_RATE, 6);
            click(d, IDC_START_ON_BOOT);
            click(d, ending);
        };
    };
    const size_t armed = timer.calls().size();
    openSettings(changeAll(IDC_SETTINGS_CANCEL));
    EXPECT_EQ(engine.copySettings(), (Settings{"0", "1", "3", "0"}));
    EXPECT_FALSE(test::exists(dir.file("settings.xml")));
    EXPECT_EQ(timer.calls().size(), armed);

    openSettings(changeAll(IDC_SETTINGS_OK));
    EXPECT_EQ(widget.rows().at(0)->text("low"), "10\u00B0C");
    EXPECT_EQ(timer.calls().back(), "setHours 6");
    EXPECT_TRUE(runEntry.IsRunEntryPresent());
    EXPECT_NE(test::readText(dir.file("settings.xml")).find("<timeval timeval=\"6\" />"),
              std::string::npos);

    openSettings([](CSettingsDlg& d) {
        EXPECT_TRUE(selection(d, IDC_UNIT) == 1 && checked(d));
        choose(d, IDC_REFRESH_RATE, 0);
        click(d, IDC_START_ON_BOOT);
        click(d, IDC_SETTINGS_OK);
    });
    EXPECT_EQ(timer.calls().back(), "stop") << "manual refresh stops the timer";
    EXPECT_FALSE(runEntry.IsRunEntryPresent());
    EXPECT_EQ(engine.copySettings(), (Settings{"1", "0", "3", "0"}));
    win::setMainWindow(nullptr);
}

}  // namespace
}  // namespace brisalune
