#include "ui/CityListBox.h"

#include <windowsx.h>

#include "base/Messages.h"
#include "base/Program.h"
#include "draw/DibImage.h"
#include "win/Dpi.h"
#include "win/Handles.h"

namespace brisalune {

namespace {

void drawText(HDC dc, const std::string& text, RECT rect, UINT extra = 0) {
    // Every text is UTF-8 and drawn wide, so names and service texts in any language show.
    const std::wstring wide = utf8ToWide(text, 256);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | extra);
}

}  // namespace

bool CityListBox::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            measure->itemHeight = static_cast<UINT>(win::dpiScaled(kRowHeight));
            measure->itemWidth = 100;
            *result = TRUE;
            return true;
        }
        case WM_DRAWITEM:
            drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            *result = TRUE;
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) == LBN_SELCHANGE) {
                repaintSelection();
            }
            // The widget still hears about every notification (double clicks above all).
            return false;
        default:
            return false;
    }
}

bool CityListBox::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == hwnd_ &&
        SendMessageW(hwnd_, LB_GETCURSEL, 0, 0) != LB_ERR) {
        SendMessageW(parent(), WM_COMMAND, MAKEWPARAM(id(), LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(hwnd_));
        return true;
    }
    return false;
}

LRESULT CityListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) {
        const LRESULT result = Default(message, wParam, lParam);
        repaintSelection();
        return result;
    }
    if (message == WM_RBUTTONUP) {
        const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, lParam);
        // Below the last row this is the last row; an empty list selects nothing.
        SendMessageW(hwnd_, LB_SETCURSEL, LOWORD(hit), 0);
        repaintSelection();
        RECT window;
        GetWindowRect(hwnd_, &window);
        SendMessageW(parent(), WM_LISTITEM_MENU,
                     static_cast<WPARAM>(GET_X_LPARAM(lParam) + window.left),
                     static_cast<LPARAM>(GET_Y_LPARAM(lParam) + window.top));
    }
    return Default(message, wParam, lParam);
}

void CityListBox::repaintSelection() {
    const int current = static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
    if (current == lastSelected_) {
        return;
    }
    RECT rect;
    if (lastSelected_ >= 0 && SendMessageW(hwnd_, LB_GETITEMRECT, lastSelected_,
                                           reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
        InvalidateRect(hwnd_, &rect, TRUE);
    }
    if (current >= 0 &&
        SendMessageW(hwnd_, LB_GETITEMRECT, current, reinterpret_cast<LPARAM>(&rect)) != LB_ERR) {
        InvalidateRect(hwnd_, &rect, TRUE);
    }
    lastSelected_ = current;
}

void CityListBox::drawItem(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1)) {
        return;
    }
    const auto* rows = reinterpret_cast<const CityRows*>(item.itemData);
    const CityRow* row = nullptr;
    if (rows != nullptr && item.itemID < rows->size()) {
        row = (*rows)[item.itemID].get();
    }
    HDC dc = item.hDC;
    SetBkMode(dc, TRANSPARENT);
    const bool entire = (item.itemAction & ODA_DRAWENTIRE) != 0;
    const bool selectionChanged = (item.itemAction & ODA_SELECT) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    RECT rect = item.rcItem;
    if (entire || (selectionChanged && !selected)) {
        win::Brush background(CreateSolidBrush(backgroundColour));
        FillRect(dc, &rect, background.get());
        if (separator) {
            DrawEdge(dc, &rect, EDGE_SUNKEN, BF_BOTTOM);
        }
        if (row != nullptr) {
            drawRow(dc, rect, *row);
        }
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
        if (separator) {
            DrawEdge(dc, &rect, EDGE_SUNKEN, BF_BOTTOM);
        }
        if (row != nullptr) {
            drawRow(dc, rect, *row);
        }
    }
    // A focus-only request draws nothing: there is no focus rectangle.
}

CityListBox::Layout CityListBox::layoutOf(const RECT& item, int dpi) {
    auto px = [dpi](int size) { return win::dpiScaled(size, dpi); };
    const int left = item.left;
    const int top = item.top;
    const int right = item.right;
    const int bottom = item.bottom;
    const int height = bottom - top;
    const int column = px(kPictureColumn);
    const int width = (right - left - column) / 2;
    const int band = height / 2 - px(8);
    const int yTop = top + px(6);
    const int yMid = yTop + band;
    const int yBottom = yMid + band;
    const int x0 = left + column;
    const int xMid = x0 + width;
    const int x1 = x0 + width / 3;
    const int x2 = x1 + width / 3;
    return Layout{
        {left, top, x0, bottom},
        {x0, yTop, xMid, yMid},
        {x0, yMid, x1, yBottom},
        {x1, yMid, x2, yBottom},
        {xMid, yTop, xMid + width, yMid},
        {xMid, yMid, xMid + width, yBottom},
        {left, bottom - px(20), right, bottom},
    };
}

HFONT CityListBox::font() const {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void CityListBox::drawRow(HDC dc, const RECT& rect, const CityRow& row) const {
    const int dpi = win::systemDpi();
    const Layout layout = layoutOf(rect, dpi);

    // Loaded for each paint and dropped again: the pictures are small and change with the data.
    if (const std::string* icon = row.find("icon"); icon != nullptr && !icon->empty()) {
        DibImage image;
        if (image.LoadForDpi(*icon, dpi) == S_OK) {
            const int w = image.width();
            const int h = image.height();
            const RECT& place = layout.picture;
            image.StretchBlt(dc, place.left + (place.right - place.left - w) / 2,
                             place.top + (place.bottom - place.top - h) / 2, w, h, 0, 0, w, h);
        }
    }

    SetTextColor(dc, textColour);
    win::SelectedObject selectFont(dc, font());
    if (const std::string* text = row.find("conditions")) {
        drawText(dc, *text, layout.conditions);
    }
    const std::string* low = row.find("low");
    const std::string* high = row.find("high");
    if (low != nullptr && high != nullptr) {
        drawText(dc, *low, layout.low);
        drawText(dc, *high, layout.high);
    }
    if (const std::string* text = row.find("name")) {
        drawText(dc, *text, layout.name);
    }
    if (const std::string* text = row.find("day")) {
        drawText(dc, *text, layout.day);
    }
    if (const std::string* text = row.find("tips"); text != nullptr && !text->empty()) {
        drawText(dc, *text, layout.tips, DT_CENTER);
    }
}

}  // namespace brisalune
