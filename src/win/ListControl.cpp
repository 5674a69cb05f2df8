#include "win/ListControl.h"

#include <windowsx.h>

#include <initializer_list>

#include "base/Messages.h"

namespace brisalune::win {

void ListControl::repaintSelection() {
    const int current = static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
    if (current == lastPainted_) {
        return;
    }
    RECT rect;
    for (const int row : {lastPainted_, current}) {
        if (row >= 0 &&
            SendMessageW(hwnd_, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
            InvalidateRect(hwnd_, &rect, TRUE);
        }
    }
    lastPainted_ = current;
}

void ListControl::selectAndAskForMenu(LPARAM point) {
    const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, point);
    SendMessageW(hwnd_, LB_SETCURSEL, LOWORD(hit), 0);
    repaintSelection();
    RECT window;
    GetWindowRect(hwnd_, &window);
    SendMessageW(parent(), WM_LISTITEM_MENU, static_cast<WPARAM>(GET_X_LPARAM(point) + window.left),
                 static_cast<LPARAM>(GET_Y_LPARAM(point) + window.top));
}

}  // namespace brisalune::win
