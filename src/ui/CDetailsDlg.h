// Every forecast day of one city, one below the other: condition picture, weekday, wording, low
// and high. Nothing is kept: each paint reads the city from the engine as it is then.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "model/ForecastDates.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace brisalune {

class RefreshEngine;

class CDetailsDlg : public win::Dialog {
  public:
    // Pixel layout of one day at 96 DPI, from the client area's top left corner; it grows with
    // the display's scaling.
    static constexpr int kLeft = 10;
    static constexpr int kTop = 25;
    static constexpr int kDayHeight = 52;

    // Where day `index` goes in the client area at a DPI (before scrolling): its picture and
    // the rectangles its weekday, wording, low and high are drawn in.
    struct DayLayout {
        RECT picture;
        RECT day;
        RECT wording;
        RECT low;
        RECT high;
    };
    static DayLayout dayLayout(const RECT& client, int index, int dpi);
    // The font the days are drawn in at a DPI.
    static win::Font drawingFont(int dpi);

    // `programDirectory` is where the img folder of the condition pictures lies. The days shown
    // start from the first one dated `today()` or later.
    CDetailsDlg(HWND parent, RefreshEngine& engine, std::string programDirectory, int position,
                std::function<CalendarDate()> today = localToday);

    // Paints the whole client area into `dc`, `client` being its rectangle, with the days
    // moved up by the scroll position. Answers the number of days drawn.
    int Paint(HDC dc, const RECT& client);

    int scrollPosition() const { return scroll_; }

  protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  private:
    // Makes the client area tall enough for `days` days. A window that would not fit the work
    // area keeps to it and scrolls instead.
    void fitDays(int days);
    void scrollTo(int position);

    RefreshEngine& engine_;
    std::string programDirectory_;
    int position_;
    std::function<CalendarDate()> today_;
    int fittedDays_ = 0;
    int contentHeight_ = 0;
    int scroll_ = 0;
};

}  // namespace brisalune
