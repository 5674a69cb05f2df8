// The widget: the program's one main window. It shows a row per city, opens every other
// dialog, follows the engine's status messages and hides instead of closing.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "draw/ImageButton.h"
#include "store/CityCatalogue.h"
#include "ui/CityListBox.h"
#include "ui/TrayIcon.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace brisalune {

class RefreshEngine;
class WeatherJob;
class CityRecord;
class CAddCityDlg;
class CDelCityDlg;

class CWidgetDlg : public win::Dialog {
  public:
    // `commandLine` is the whole argument text after the program path; `programDirectory`
    // is where the img folder lies.
    CWidgetDlg(RefreshEngine& engine, std::string programDirectory, std::string commandLine);
    ~CWidgetDlg() override;

    void FillRow(CityRow& row, const CityRecord& city, const std::string& tipsText);
    int BuildRows();
    void OnJobStatus(const WeatherJob& record);
    void AddCityFromText(const std::string& text);
    void RemoveRow(int position);
    void ConfirmRemove(int position);
    void ShowContextMenu(int x, int y, bool general);
    void ShowMoreMenu();
    void ConfirmExit();
    INT_PTR RunChildDialog(std::unique_ptr<win::Dialog> dialog);
    INT_PTR RunChildDialog(win::Dialog& dialog);
    // The position of the city with this name and parameter: `position` when it is still
    // there, else the first such city; -1 when it is gone.
    int FindCity(int position, const std::string& name, const std::string& param);

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
    ImageButton& button(int index) { return buttons_[index]; }
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

    // Seams for tests: the blocking menu and message box, and the end of the process.
    virtual UINT trackMenu(HMENU menu, int x, int y, HWND owner);
    virtual int askUser(const std::wstring& text, const std::wstring& caption, UINT buttons);
    virtual void endProcess();

    virtual void openAddCity();
    virtual void openRemoveCity();
    // The city dialogs as the widget makes them; tests make ones with scripted answers.
    virtual std::unique_ptr<CAddCityDlg> makeAddCity();
    virtual std::unique_ptr<CDelCityDlg> makeRemoveCity();
    CityCatalogue& catalogue() { return catalogue_; }
    RefreshEngine& engine() { return engine_; }
    const std::string& programDirectory() const { return programDirectory_; }
    // Commands whose dialogs arrive later; each is one place to fill in.
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
    void wakeUp();
    int selection() const;
    void invalidateList();
    int listCount() const;

    RefreshEngine& engine_;
    std::string programDirectory_;
    std::string commandLine_;
    bool startHidden_ = false;
    TrayIcon tray_;
    HICON icon_ = nullptr;
    CityListBox list_;
    // Add, Delete, Refresh, Settings, More: controls 1020 to 1024.
    ImageButton buttons_[5];
    CityRows rows_;
    std::vector<win::Dialog*> activeDialogs_;
    // Read once, the first time Add City opens, and kept for the process.
    CityCatalogue catalogue_;
    // Open Add City dialog, if any: a second one would release the provinces the first shows.
    win::Dialog* addCity_ = nullptr;
};

}  // namespace brisalune
