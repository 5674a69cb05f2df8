// The widget's owner-drawn city list: one 55-pixel row per city (at 96 DPI, and larger with the
// display's scaling) with its condition image, wording, temperatures, name, weekday and status
// word.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/CityRow.h"
#include "win/Control.h"

namespace brisalune {

using CityRows = std::vector<std::unique_ptr<CityRow>>;

class CityListBox : public win::Control {
  public:
    // Pixels at 96 DPI.
    static constexpr int kRowHeight = 55;
    static constexpr int kPictureColumn = 65;

    // Where the parts of a row go in an item rectangle at a DPI: the place the condition
    // picture is centred in, and the band of each text.
    struct Layout {
        RECT picture;
        RECT conditions;
        RECT low;
        RECT high;
        RECT name;
        RECT day;
        RECT tips;
    };
    static Layout layoutOf(const RECT& item, int dpi);

    COLORREF selectionColour = RGB(0, 0, 255);
    COLORREF backgroundColour = RGB(255, 255, 255);
    COLORREF textColour = RGB(11, 11, 11);
    bool separator = true;

    int lastSelected() const { return lastSelected_; }

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // Enter on a selected row opens the details like a double click.
    bool PreTranslateMessage(MSG& msg) override;

    // Paints one row into any DC (the list's own painting and tests use it), at the display's
    // DPI.
    void drawRow(HDC dc, const RECT& rect, const CityRow& row) const;
    // The font the rows are drawn in.
    HFONT font() const;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void drawItem(const DRAWITEMSTRUCT& item) const;
    void repaintSelection();

    int lastSelected_ = -1;
};

}  // namespace brisalune
