#include "ui/CDetailsDlg.h"

#include <algorithm>
#include <optional>

#include "base/Texts.h"
#include "base/WideText.h"
#include "draw/DibImage.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "win/Handles.h"
#include "win/WinText.h"

namespace brisalune {

namespace {

// Space left under the last day.
const int kBottomMargin = 10;
const int kPictureWidth = 55;
const int kPictureHeight = 45;

void drawText(HDC dc, const std::string& text, int left, int top, int right, int bottom,
              UINT format) {
    RECT rect{left, top, right, bottom};
    const std::wstring wide = widen(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format);
}

win::Font makeFont() {
    LOGFONTW font{};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = GB2312_CHARSET;
    wcscpy_s(font.lfFaceName, L"MS Shell Dlg 2");
    return win::Font(CreateFontIndirectW(&font));
}

}  // namespace

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
    win::Font font = makeFont();
    win::SelectedObject selectFont(dc, font.get());
    const int x0 = client.left + kLeft;
    int y = client.top + kTop - scroll_;
    for (const ForecastDay& day : days) {
        // Loaded for each paint: the day's sky code may have changed since the last one.
        DibImage picture;
        if (picture.Load(conditionImagePath(programDirectory_, day.skycodeday)) == S_OK) {
            picture.StretchBlt(dc, x0, y, kPictureWidth, kPictureHeight, 0, 0, picture.width(),
                               picture.height());
        }
        // In this order, so a temperature stands over the end of a long wording.
        drawText(dc, day.day, x0 + 65, y, x0 + 205, y + 22, DT_VCENTER);
        drawText(dc, day.skytextday, x0 + 65, y + 22, x0 + 205, y + 45, DT_VCENTER);
        drawText(dc, temperatureText(day.low, fahrenheit), x0 + 165, y, x0 + 245, y + 22,
                 DT_RIGHT | DT_VCENTER);
        drawText(dc, temperatureText(day.high, fahrenheit), x0 + 165, y + 22, x0 + 245, y + 45,
                 DT_RIGHT | DT_VCENTER);
        y += kDayHeight;
    }
    return static_cast<int>(days.size());
}

void CDetailsDlg::fitDays(int days) {
    fittedDays_ = days;
    contentHeight_ = kTop + kDayHeight * (days - 1) + kPictureHeight + kBottomMargin;
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
                    scrollTo(scroll_ - kDayHeight);
                    break;
                case SB_LINEDOWN:
                    scrollTo(scroll_ + kDayHeight);
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
            scrollTo(scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) * kDayHeight / WHEEL_DELTA);
            *result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace brisalune
