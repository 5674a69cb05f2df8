#include "ui/ShareNameList.h"

#include <windowsx.h>

#include "base/Messages.h"
#include "base/WideText.h"

namespace brisalune {

namespace {

constexpr int kRowHeight = 40;

}  // namespace

void ShareNameList::SetItems(const std::vector<std::string>& items) {
    items_ = &items;
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < items.size(); ++i) {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, 0);
    }
}

bool ShareNameList::OnReflectedMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        measure->itemWidth = 100;
        measure->itemHeight = kRowHeight;
        *result = TRUE;
        return true;
    }
    if (message == WM_COMPAREITEM) {
        *result = 0;
        return true;
    }
    if (message != WM_DRAWITEM) {
        return false;
    }
    const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item.itemID == static_cast<UINT>(-1) || items_ == nullptr ||
        item.itemID >= items_->size()) {
        *result = TRUE;
        return true;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    RECT rect = item.rcItem;
    FillRect(item.hDC, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    DrawEdge(item.hDC, &rect, EDGE_ETCHED, BF_BOTTOM);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text{rect.left + 44, rect.top + 12, rect.right - 2, rect.bottom - 2};
    const std::wstring name = widen((*items_)[item.itemID]);
    DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
              DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX | DT_END_ELLIPSIS);
    *result = TRUE;
    return true;
}

LRESULT ShareNameList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE && wParam == VK_RETURN) {
        return DLGC_WANTALLKEYS;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN &&
        SendMessageW(hwnd_, LB_GETCURSEL, 0, 0) >= 0) {
        SendMessageW(parent(), WM_COMMAND, MAKEWPARAM(id(), LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(hwnd_));
        return 0;
    }
    if (message == WM_RBUTTONUP) {
        const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, lParam);
        SendMessageW(hwnd_, LB_SETCURSEL, LOWORD(hit), 0);
        RECT window;
        GetWindowRect(hwnd_, &window);
        SendMessageW(parent(), WM_LISTITEM_MENU,
                     static_cast<WPARAM>(GET_X_LPARAM(lParam) + window.left),
                     static_cast<LPARAM>(GET_Y_LPARAM(lParam) + window.top));
        return 0;
    }
    return Default(message, wParam, lParam);
}

}  // namespace brisalune
