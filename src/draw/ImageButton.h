// A push button that shows a picture from the program's resources over a copy of what lies
// behind it on its parent, so the picture's transparent parts look through to the window. The
// normal, pressed and hot (pointer resting on it) pictures are composed once, before the first
// paint; every paint after that is one block copy. The picture is meant for 96 DPI and is drawn
// at its size scaled to the display's DPI, from a double-size picture when there is one.
#pragma once

#include <windows.h>

#include <memory>

#include "draw/ResourceImage.h"
#include "win/Control.h"
#include "win/Handles.h"

namespace brisalune {

class ImageButton : public win::Control {
  public:
    enum class State { None, Normal, Pressed, Hot };

    // The pointer must rest this long (milliseconds) before the button lights up.
    static constexpr DWORD kHoverTime = 1;

    ImageButton();
    ~ImageButton() override;

    // Takes the picture from resource `id` of `type` (the widget's are L"PNG"). A picture that
    // cannot be loaded leaves the button without one: it then paints nothing.
    bool LoadImageResource(UINT id, const wchar_t* type);
    // Also takes the double-size picture, resource `doubleSizeId`, which serves above 96 DPI.
    // Answers whether the picture of `id` loaded; a double size that does not load is not used.
    bool LoadImageResource(UINT id, UINT doubleSizeId, const wchar_t* type);

    // A quick second click is a second press, not a double-click.
    bool PreTranslateMessage(MSG& msg) override;
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    bool hasImage() const { return image_ != nullptr && !image_->isNull(); }
    bool cacheBuilt() const { return cacheBuilt_; }
    bool hover() const { return hover_; }
    // The state the last paint showed.
    State current() const { return current_; }
    // The size the picture is drawn at: its own scaled to the display's DPI, but above 96 DPI
    // never so large that its visible part, pressed, would be cut off by the button (the
    // button follows the dialog font, which need not grow exactly with the DPI).
    SIZE pictureSize() const;

  protected:
    void OnAttached() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // Composes the three states over the captured background, the first time it can.
    void buildCache(HDC dc);
    bool captureBackground(int width, int height);
    void paint(const DRAWITEMSTRUCT& item);
    const win::BitmapDc* surfaceOf(State state) const;

    bool cacheBuilt_ = false;
    bool hover_ = false;
    bool tracking_ = false;
    std::unique_ptr<ResourceImage> image_;
    std::unique_ptr<ResourceImage> doubleSize_;
    win::BitmapDc background_;
    win::BitmapDc normal_;
    win::BitmapDc pressed_;
    win::BitmapDc hot_;
    State current_ = State::None;
};

}  // namespace brisalune
