// A one-line edit that shows a grey hint ("Country", "City", ...) until the user first presses
// a key or a mouse button in it. While the hint shows, the box reads as empty to everyone who
// asks for its text. Once the user has typed, the hint never comes back.
#pragma once

#include <windows.h>

#include <string>

#include "win/Control.h"
#include "win/Handles.h"

namespace brisalune {

class HintEdit : public win::Control {
  public:
    COLORREF hintColour = RGB(119, 121, 118);

    // Ignored while the hint shows if `text` is empty; any other text than the hint ends the
    // hint.
    void SetText(const std::string& text);
    // Stores the hint and shows it if the box is still in hint mode; an empty hint ends it.
    void SetHint(const std::string& hint);
    // Empty while the hint shows.
    std::string GetText() const;

    bool hintShown() const { return hintShown_; }
    const std::string& hint() const { return hint_; }

    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void leaveHintMode();

    bool hintShown_ = true;
    std::string hint_ = "<Enter text here>";
    win::Brush background_;
};

}  // namespace brisalune
