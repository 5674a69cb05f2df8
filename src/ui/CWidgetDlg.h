// The widget: the program's one main window. It shows a row per city, opens every other
// dialog, follows the engine's status messages and hides instead of closing.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "draw/ImageButton.h"
#include "model/ForecastDates.h"
#include "store/CityCatalogue.h"
#include "ui/CityListBox.h"
#include "ui/TrayIcon.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace brisalune {

class RefreshEngine;
class WeatherJob;
class CityRecord;

class CWidgetDlg : public win::Dialog {
  public:
    // `commandLine` is the whole argument text after the program path; `programDirectory`
    // is where the img folder lies.
    CWidgetDlg(RefreshEngine& engine, std::string programDirectory, std::string commandLine);
    ~CWidgetDlg() override;

    void FillRow(CityRow& row, const CityRecord& city, const std::string& tipsText);
    int BuildRows();
    void OnJobStatus(const WeatherJob& record);
    // Refills the rows from the new day's forecast once the date has changed since the last
    // look; the timer and a change of the system clock call it.
    void FollowTheDate();
    void AddCityFromText(const std::string& text);
    void RemoveRow(int position);
    void ConfirmRemove(int position);
    void ShowContextMenu(int x, int y, bool general);
    void ShowMoreMenu();
    void ConfirmExit();
    // Runs a dialog over the widget; the caller owns it and reads its results afterwards.
    // While it runs it is on the stack of dialogs that the thread's private messages reach.
    INT_PTR RunChildDialog(win::Dialog& dialog);

    bool PreTranslateMessage(MSG& msg) override;

    // The pop-up menus, built as they are shown (tests read them too).
    win::Menu buildGeneralMenu() const;
    win::Menu buildCityMenu() const;
    win::Menu buildMoreMenu() const;

    bool startHidden() const { return startHidden_; }
    const CityRows& rows() const { return rows_; }
    CityListBox& list() { return list_; }
    win::Dialog* activeDialog() const;
    HICON icon() const { return icon_; }
    HICON smallIcon() const { return smallIcon_; }
    ImageButton& button(int index) { return *buttons_[static_cast<size_t>(index)]; }
    TrayIcon& tray() { return tray_; }

    void HideToTray();
    void RestoreFromTray();

  protected:
    bool OnInitDialog() override;
    void OnCreated() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override {}
    void OnCancel() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Seam for tests: the end of the process.
    virtual void endProcess();
    // The date the rows start their forecasts from: the computer's local date.
    virtual CalendarDate today() const;

    virtual void openAddCity();
    virtual void openRemoveCity();
    virtual void openSettings();
    virtual void openDetails(int position);
    virtual void openShare(int position);
    virtual void openComment();
    virtual void openVersionCheck();
    virtual void openLogDetails();
    void openAbout();
    void openHelp();

  private:
    bool runCommand(UINT id);
    bool offerToDialogs(MSG& msg);
    void wakeUp();
    int selection() const;
    // Where the city of that name and parameter stands now (`hint` first); -1 when it is gone.
    int positionOf(const std::string& name, const std::string& param, int hint) const;
    void invalidateList();
    int listCount() const;

    RefreshEngine& engine_;
    std::string programDirectory_;
    std::string commandLine_;
    bool startHidden_ = false;
    TrayIcon tray_;
    // The large icon (task switcher, minimised window) and the small one (title bar, tray).
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    CityListBox& list_;
    // Add, Delete, Refresh, Settings, More: controls 1020 to 1024.
    std::array<ImageButton*, 5> buttons_{};
    CityRows rows_;
    CalendarDate rowsDate_;
    std::vector<win::Dialog*> activeDialogs_;
    // Read once, the first time Add City opens, and kept for the process.
    CityCatalogue catalogue_;
    // Open Add City dialog, if any: a second one would release the provinces the first shows.
    win::Dialog* addCity_ = nullptr;
};

}  // namespace brisalune
