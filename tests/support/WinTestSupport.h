// Helpers of the Windows tests: the source tree's path under Wine, pumping the thread's
// messages through the program's own pre-translation chain, and a 32-bit canvas whose pixels
// can be read back and that owner-drawn controls can be asked to draw on.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace brisalune::test {

// A path of the source tree; under Wine, drive Z: is the Unix root.
std::string sourcePath(const std::string& relative);

void pumpFor(std::chrono::milliseconds duration);
// Pumps until `done` answers true, or gives up after `bound`.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds bound = std::chrono::seconds(3));

// A top-down 32-bit DIB section selected into its own memory DC.
class Canvas {
  public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const;
    // The bounding box of the pixels of `area` (all when empty) that `match` takes, right and
    // bottom exclusive; right is -1 when there is none.
    RECT box(const std::function<bool(COLORREF)>& match, RECT area = {}) const;
    // Asks `parent` to draw its owner-drawn `control` (its item `index` for a list) here.
    void ownerDraw(HWND parent, HWND control, int index = 0, UINT state = 0) const;

  private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

}  // namespace brisalune::test
