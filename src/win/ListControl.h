// What the program's owner-drawn list boxes share: a change of selection repaints only the row
// left and the row chosen, and a right click selects the row under the pointer before the parent
// is asked for a menu (WM_LISTITEM_MENU, at the pointer in screen coordinates).
#pragma once

#include <windows.h>

#include "win/Control.h"

namespace brisalune::win {

class ListControl : public Control {
  public:
    // The row the list last painted as selected, or -1.
    int lastPainted() const { return lastPainted_; }

  protected:
    // Repaints the row painted as selected before and the one selected now, when they differ.
    void repaintSelection();
    // Selects the row under a right click (below the last row, the last row; in an empty list
    // nothing), repaints, then asks the parent for a menu at the pointer.
    void selectAndAskForMenu(LPARAM point);

    int lastPainted_ = -1;
};

}  // namespace brisalune::win
