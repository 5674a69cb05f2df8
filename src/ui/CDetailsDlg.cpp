#include "ui/CDetailsDlg.h"

#include <algorithm>
#include <optional>

#include "base/Texts.h"
#include "base/WideText.h"
#include "draw/DibImage.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/WinText.h"

namespace brisalune {

namespace {

// Pixels at 96 DPI: space left under the last day, and the picture's place.
const int kBottomMargin = 10;
const int kPictureWidth = 55;
const int kPictureHeight = 45;

void drawText(HDC dc, const std::string& text, RECT rect, UINT format) {
    const std::wstring wide = widen(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format);
}

}  // namespace

CDetailsDlg::DayLayout CDetailsDlg::dayLayout(const RECT& client, int index, int dpi) {
    auto px = [dpi](int size) { return win::dpiScaled(size, dpi); };
    const int x = client.left + px(kLeft);
    const int y = client.top + px(kTop + kDayHeight * index);
    const int middle = y + px(22);
    const int bottom = y + px(kPictureHeight);
    return DayLayout{
        {x, y, x + px(kPictureWidth), bottom},      {x + px(65), y, x + px(205), middle},
        {x + px(65), middle, x + px(205), bottom},  {x + px(165), y, x + px(245), middle},
        {x + px(165), middle, x + px(245), bottom},
    };
}

win::Font CDetailsDlg::drawingFont(int dpi) {
    LOGFONTW font{};
    font.lfHeight = -win::dpiScaled(11, dpi);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = GB2312_CHARSET;
    wcscpy_s(font.lfFaceName, L"MS Shell Dlg 2");
    return win::Font(CreateFontIndirectW(&font));
}

CDetailsDlg::CDetailsDlg(HWND parent, RefreshEngine& engine, std::string programDirectory,
                         int position, std::function<CalendarDate()> today)
    : Dialog(IDD_DETAILS, parent),
      engine_(engine),
      programDirectory_(std::move(programDirectory)),
      position_(position),
      today_(std::move(today)) {}

bool CDetailsDlg::OnInitDialog() {
    std::optional<CityRecord> city = engine_.cityAt(position_);
    // Days gone by are no forecast: a city with nothing else shows as one without days.
    const ForecastList days = city ? daysToShow(city->days(), today_()) : ForecastList();
    if (days.empty()) {
        // The template's caption stays.
        return false;
    }
    win::setWindowTextUtf8(hwnd_, city->info.name + " Forecast");
    fitDays(static_cast<int>(days.size()));
    return true;
}

int CDetailsDlg::Paint(HDC dc, const RECT& client) {
    win::Brush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &client, white.get());
    std::optional<CityRecord> city = engine_.cityAt(position_);
    const ForecastList days = city ? daysToShow(city->days(), today_()) : ForecastList();
    if (days.empty()) {
        return 0;
    }
    const bool fahrenheit = engine_.isFahrenheit();
    const int dpi = win::systemDpi();
    win::Font font = drawingFont(dpi);
    win::SelectedObject selectFont(dc, font.get());
    RECT scrolled = client;
    OffsetRect(&scrolled, 0, -scroll_);
    int index = 0;
    for (const ForecastDay& day : days) {
        const DayLayout place = dayLayout(scrolled, index++, dpi);
        // Loaded for each paint: the day's sky code may have changed since the last one.
        DibImage picture;
        if (picture.LoadForDpi(conditionImagePath(programDirectory_, day.skycodeday), dpi) ==
            S_OK) {
            picture.StretchBlt(
                dc, place.picture.left, place.picture.top, place.picture.right - place.picture.left,
                place.picture.bottom - place.picture.top, 0, 0, picture.width(), picture.height());
        }
        // In this order, so a temperature stands over the end of a long wording.
        drawText(dc, day.day, place.day, DT_VCENTER);
        drawText(dc, day.skytextday, place.wording, DT_VCENTER);
        drawText(dc, temperatureText(day.low, fahrenheit), place.low, DT_RIGHT | DT_VCENTER);
        drawText(dc, temperatureText(day.high, fahrenheit), place.high, DT_RIGHT | DT_VCENTER);
    }
    return static_cast<int>(days.size());
}

void CDetailsDlg::fitDays(int days) {
    fittedDays_ = days;
    contentHeight_ =
        win::dpiScaled(kTop + kDayHeight * (days - 1) + kPictureHeight + kBottomMargin);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (contentHeight_ > client.bottom) {
        RECT window;
        GetWindowRect(hwnd_, &window);
        const RECT work = workAreaOf(hwnd_);
        const int frame = (window.bottom - window.top) - client.bottom;
        const int height = std::min<int>(contentHeight_ + frame, work.bottom - work.top);
        const int top = std::max<int>(work.top, std::min<int>(window.top, work.bottom - height));
        SetWindowPos(hwnd_, nullptr, window.left, top, window.right - window.left, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(hwnd_, &client);
    }
    // Days that still do not fit are reached with the scroll bar.
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    if (contentHeight_ > client.bottom) {
        info.nMax = contentHeight_ - 1;
        info.nPage = static_cast<UINT>(client.bottom);
    }
    SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
    scrollTo(scroll_);
}

void CDetailsDlg::scrollTo(int position) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int last = std::max<int>(0, contentHeight_ - client.bottom);
    position = std::clamp(position, 0, last);
    if (position != scroll_) {
        scroll_ = position;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, scroll_, 0};
    SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
}

bool CDetailsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd_, &paint);
            RECT client;
            GetClientRect(hwnd_, &client);
            const int days = Paint(dc, client);
            EndPaint(hwnd_, &paint);
            // A refresh that brought more days while the window was open.
            if (days > fittedDays_) {
                fitDays(days);
            }
            *result = 0;
            return true;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(hwnd_, &client);
            Paint(reinterpret_cast<HDC>(wParam), client);
            *result = 0;
            return true;
        }
        case WM_ERASEBKGND:
            // The paint fills everything white; erasing first would only flicker.
            *result = 1;
            return true;
        case WM_VSCROLL: {
            SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
            GetScrollInfo(hwnd_, SB_VERT, &info);
            const int page = static_cast<int>(info.nPage);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    scrollTo(scroll_ - win::dpiScaled(kDayHeight));
                    break;
                case SB_LINEDOWN:
                    scrollTo(scroll_ + win::dpiScaled(kDayHeight));
                    break;
                case SB_PAGEUP:
                    scrollTo(scroll_ - page);
                    break;
                case SB_PAGEDOWN:
                    scrollTo(scroll_ + page);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    scrollTo(info.nTrackPos);
                    break;
                case SB_TOP:
                    scrollTo(0);
                    break;
                case SB_BOTTOM:
                    scrollTo(contentHeight_);
                    break;
                default:
                    break;
            }
            *result = 0;
            return true;
        }
        case WM_MOUSEWHEEL:
            scrollTo(scroll_ -
                     GET_WHEEL_DELTA_WPARAM(wParam) * win::dpiScaled(kDayHeight) / WHEEL_DELTA);
            *result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace brisalune
