// The Remove City dialog: the names of the user's cities in one list; the city the user picks
// is removed after a Yes. One removal per opening: a confirmed city ends the dialog with OK and
// the widget removes it (removal()).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "draw/TextListBox.h"
#include "win/Dialog.h"

namespace brisalune {

class RefreshEngine;

class CDelCityDlg : public win::Dialog {
  public:
    // The confirmed city as the list showed it. The list is filled once; tray commands may
    // change the user's cities under the open dialog, so the widget finds the city again by
    // name and parameter rather than trusting the position alone.
    struct Removal {
        int position = -1;
        std::string name;
        std::string param;
    };

    CDelCityDlg(HWND parent, RefreshEngine& engine);

    const std::optional<Removal>& removal() const { return removal_; }
    TextListBox& list() { return list_; }
    const std::vector<std::string>& shownNames() const { return names_; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter goes to the list alone: there is no button to press.
    void OnOK() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  private:
    void remove();

    RefreshEngine& engine_;
    TextListBox& list_;
    std::vector<std::string> names_;
    // Beside each shown name: the city's position when the list was filled, and its parameter.
    std::vector<Removal> cities_;
    std::optional<Removal> removal_;
};

}  // namespace brisalune
