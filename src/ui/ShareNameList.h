// The Share dialog's list of city names: the template's owner-drawn list, one 40-pixel row per
// name drawn from names the dialog owns. Enter on a row counts as a double click and a right
// click asks the dialog for its menu.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/Control.h"

namespace brisalune {

class ShareNameList : public win::Control {
  public:
    // The list draws from `items`, which the dialog keeps for as long as the list shows them.
    void SetItems(const std::vector<std::string>& items);

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    const std::vector<std::string>* items_ = nullptr;
};

}  // namespace brisalune
