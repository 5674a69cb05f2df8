#include "draw/TextListBox.h"

#include <windowsx.h>

#include "base/Messages.h"
#include "base/Program.h"
#include "win/Dpi.h"
#include "win/Handles.h"

namespace brisalune {

void TextListBox::OnAttached() {
    lastPainted_ = -1;
}

void TextListBox::SetItems(const std::vector<std::string>& items) {
    items_ = &items;
    fill(items.size());
}

void TextListBox::fill(size_t count) {
    // One repaint after the last placeholder instead of one per item.
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < count; ++i) {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, 0);
    }
    lastPainted_ = -1;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int TextListBox::selection() const {
    const LRESULT selected = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void TextListBox::Select(int row) {
    SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    repaintSelection();
}

int TextListBox::count() const {
    const LRESULT items = SendMessageW(hwnd_, LB_GETCOUNT, 0, 0);
    return items == LB_ERR ? 0 : static_cast<int>(items);
}

bool TextListBox::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            measure->itemWidth = 100;
            measure->itemHeight = static_cast<UINT>(win::dpiScaled(kRowHeight));
            *result = TRUE;
            return true;
        }
        case WM_DRAWITEM:
            drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            *result = TRUE;
            return true;
        case WM_COMPAREITEM:
            // Rows are drawn from the bound list by position, so a sorted list keeps its order.
            *result = 0;
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) == LBN_SELCHANGE) {
                repaintSelection();
            }
            // The dialog hears about every notification too.
            return false;
        default:
            return false;
    }
}

LRESULT TextListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE:
            // Enter on a selected row belongs to the list, not to the dialog's default button.
            if (lParam != 0) {
                const MSG* msg = reinterpret_cast<const MSG*>(lParam);
                if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && selection() >= 0) {
                    return Default(message, wParam, lParam) | DLGC_WANTMESSAGE;
                }
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && selection() >= 0) {
                SendMessageW(parent(), WM_COMMAND, MAKEWPARAM(id(), LBN_DBLCLK),
                             reinterpret_cast<LPARAM>(hwnd_));
                return 0;
            }
            break;
        case WM_LBUTTONUP: {
            const LRESULT result = Default(message, wParam, lParam);
            repaintSelection();
            return result;
        }
        case WM_RBUTTONUP:
            askForMenu(lParam);
            break;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

void TextListBox::askForMenu(LPARAM point) {
    // Below the last row this is the last row; in an empty list nothing is selected.
    const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, point);
    SendMessageW(hwnd_, LB_SETCURSEL, LOWORD(hit), 0);
    repaintSelection();
    RECT window;
    GetWindowRect(hwnd_, &window);
    SendMessageW(parent(), WM_LISTITEM_MENU, static_cast<WPARAM>(GET_X_LPARAM(point) + window.left),
                 static_cast<LPARAM>(GET_Y_LPARAM(point) + window.top));
}

void TextListBox::repaintSelection() {
    const int current = selection();
    if (current == lastPainted_) {
        return;
    }
    RECT rect;
    if (lastPainted_ >= 0 && SendMessageW(hwnd_, LB_GETITEMRECT, lastPainted_,
                                          reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
        InvalidateRect(hwnd_, &rect, TRUE);
    }
    if (current >= 0 &&
        SendMessageW(hwnd_, LB_GETITEMRECT, current, reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
        InvalidateRect(hwnd_, &rect, TRUE);
    }
    lastPainted_ = current;
}

void TextListBox::drawItem(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1)) {
        return;
    }
    HDC dc = item.hDC;
    const bool entire = (item.itemAction & ODA_DRAWENTIRE) != 0;
    const bool selectionChanged = (item.itemAction & ODA_SELECT) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const RECT& row = item.rcItem;
    RECT rect = row;
    if (entire || (selectionChanged && !selected)) {
        win::Brush background(CreateSolidBrush(normalColour));
        FillRect(dc, &rect, background.get());
        if (bottomEdge) {
            DrawEdge(dc, &rect, EDGE_ETCHED, BF_BOTTOM);
        }
        drawContent(dc, row, item.itemID);
    }
    if (selected && (entire || selectionChanged)) {
        // A frame of one pixel at 96 DPI, inside the row.
        const int frame = win::dpiScaled(1);
        win::Pen pen(CreatePen(PS_INSIDEFRAME, frame, RGB(0, 0, 0)));
        {
            win::SelectedObject selectPen(dc, pen.get());
            win::SelectedObject selectBrush(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        }
        InflateRect(&rect, -frame, -frame);
        win::Brush fill(CreateSolidBrush(selectionColour));
        FillRect(dc, &rect, fill.get());
        if (bottomEdge) {
            DrawEdge(dc, &rect, EDGE_ETCHED, BF_BOTTOM);
        }
        // The content stays where it stood unselected.
        drawContent(dc, row, item.itemID);
    }
    // A focus-only request draws nothing: the selection shows where the user is.
}

void TextListBox::drawContent(HDC dc, const RECT& row, size_t index) const {
    if (items_ != nullptr && index < items_->size()) {
        drawName(dc, row, (*items_)[index]);
    }
}

RECT TextListBox::textRect(const RECT& row, int dpi) {
    // The text box right of the icon box, shrunk by 2 and moved 2 right and 10 down.
    return RECT{row.left + win::dpiScaled(kIconBox + 4, dpi), row.top + win::dpiScaled(12, dpi),
                row.right, row.bottom + win::dpiScaled(8, dpi)};
}

HFONT TextListBox::font() const {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void TextListBox::drawName(HDC dc, const RECT& row, const std::string& name) const {
    RECT text = textRect(row, win::systemDpi());
    const std::wstring wide = utf8ToWide(name, 256);
    win::SelectedObject selectFont(dc, font());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
              DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);
}

}  // namespace brisalune
