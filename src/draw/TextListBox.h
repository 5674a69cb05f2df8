// An owner-drawn list of names in 40-pixel rows (at 96 DPI, larger with the display's scaling). It
// stores no text: the dialog binds a list of strings it owns, the control holds one empty
// placeholder item per string and draws row i from string i. A right click selects the row under
// the pointer and asks the parent for a menu (WM_LISTITEM_MENU); Enter on a selected row is a
// double click.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/Control.h"

namespace brisalune {

class TextListBox : public win::Control {
  public:
    // Pixels at 96 DPI.
    static constexpr int kRowHeight = 40;
    // Rows start with a 40-pixel box for an icon, also where there is none.
    static constexpr int kIconBox = 40;

    // Where a row's name is drawn from, as one line, at a DPI.
    static RECT textRect(const RECT& row, int dpi);

    COLORREF normalColour = RGB(255, 255, 255);
    COLORREF selectionColour = RGB(0, 0, 255);
    bool bottomEdge = true;

    // Binds the dialog's strings; the list must stay alive and unchanged while bound, and is
    // bound again after any change.
    void SetItems(const std::vector<std::string>& items);
    // The selected row, or -1.
    int selection() const;
    // Selects the row as a click would, without telling the parent.
    void Select(int row);
    int count() const;
    int lastPainted() const { return lastPainted_; }
    // The font the rows are drawn in.
    HFONT font() const;

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Empties the native control and adds `count` placeholders without repainting in between.
    void fill(size_t count);
    // Draws what row `index` shows into its rectangle; the background is already painted.
    virtual void drawContent(HDC dc, const RECT& row, size_t index) const;
    void drawName(HDC dc, const RECT& row, const std::string& name) const;

  private:
    void drawItem(const DRAWITEMSTRUCT& item) const;
    void repaintSelection();
    void askForMenu(LPARAM point);

    const std::vector<std::string>* items_ = nullptr;
    int lastPainted_ = -1;
};

}  // namespace brisalune
