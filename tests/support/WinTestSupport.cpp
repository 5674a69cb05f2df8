#include "WinTestSupport.h"

#include <algorithm>
#include <climits>
#include <thread>

#include "win/Window.h"

namespace brisalune::test {

std::string sourcePath(const std::string& relative) {
    const std::string source = BRISALUNE_SOURCE_DIR;
    return (source.rfind('/', 0) == 0 ? "Z:" + source : source) + "/" + relative;
}

void pumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        win::pumpWaitingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        pumpFor(std::chrono::milliseconds(10));
    }
    pumpFor(std::chrono::milliseconds(30));
    return true;
}

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ =
        CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    RECT all{0, 0, width_, height_};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
    GdiFlush();
}

Canvas::~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Canvas::at(int x, int y) const {
    GdiFlush();
    const uint32_t pixel = bits_[y * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

RECT Canvas::box(const std::function<bool(COLORREF)>& match, RECT area) const {
    if (IsRectEmpty(&area)) {
        area = {0, 0, width_, height_};
    }
    RECT box{INT_MAX, INT_MAX, -1, -1};
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, height_); ++y) {
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, width_); ++x) {
            if (match(at(x, y))) {
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
            }
        }
    }
    return box;
}

void Canvas::ownerDraw(HWND parent, HWND control, int index, UINT state) const {
    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    DRAWITEMSTRUCT item{};
    item.CtlType = lstrcmpiW(kind, L"Button") == 0 ? ODT_BUTTON : ODT_LISTBOX;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = control;
    item.hDC = dc_;
    item.rcItem = {0, 0, width_, height_};
    if (item.CtlType == ODT_LISTBOX) {
        item.itemData = static_cast<ULONG_PTR>(SendMessageW(control, LB_GETITEMDATA, index, 0));
    }
    SendMessageW(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

}  // namespace brisalune::test
