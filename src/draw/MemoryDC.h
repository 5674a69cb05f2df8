// An off-screen stand-in for a device context: drawing goes to a bitmap in the target's format
// and is copied onto the target in one block when the MemoryDC ends, so the target never shows
// a half-drawn picture. A printer has nothing to flicker; it is drawn on directly.
#pragma once

#include <windows.h>

namespace brisalune {

class MemoryDC {
  public:
    // Begins: covers `rect` of the target (its logical coordinates), or the target's clip box
    // when rect is null or empty. With copyInitial the surface starts with the target's pixels.
    explicit MemoryDC(HDC target, const RECT* rect = nullptr, bool copyInitial = false);
    // Ends, when end() has not done so already.
    ~MemoryDC();
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    // Copies the surface onto the target at the same place and lets the surface go. The
    // MemoryDC then draws straight on the target.
    void end();

    // Where to draw: the off-screen surface, or the target itself for a printer or when GDI
    // could not make the surface.
    HDC get() const { return isMemory_ ? dc_ : target_; }
    operator HDC() const { return get(); }
    bool isMemory() const { return isMemory_; }
    const RECT& rect() const { return rect_; }

  private:
    HDC target_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    RECT rect_{};
    bool isMemory_ = false;
};

}  // namespace brisalune
