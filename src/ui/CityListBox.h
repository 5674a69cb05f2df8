// The widget's owner-drawn city list: one 55-pixel row per city with its condition image,
// wording, temperatures, name, weekday and status word.
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
    static constexpr int kRowHeight = 55;

    COLORREF selectionColour = RGB(0, 0, 255);
    COLORREF backgroundColour = RGB(255, 255, 255);
    COLORREF textColour = RGB(11, 11, 11);
    bool separator = true;

    int lastSelected() const { return lastSelected_; }

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // Enter on a selected row opens the details like a double click.
    bool PreTranslateMessage(MSG& msg) override;

    // Paints one row into any DC (the list's own painting and tests use it).
    void drawRow(HDC dc, const RECT& rect, const CityRow& row) const;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void drawItem(const DRAWITEMSTRUCT& item) const;
    void repaintSelection();

    int lastSelected_ = -1;
};

}  // namespace brisalune
