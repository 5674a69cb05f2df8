// A picture decoded by GDI+ from one of the program's own resources. The decoder reads from a
// stream over a global-memory copy of the resource, so that copy lives, locked, as long as the
// picture does.
#pragma once

#include <windows.h>

#include "win/Handles.h"

namespace Gdiplus {
class GpBitmap;
}

namespace brisalune {

class ResourceImage {
  public:
    ResourceImage();
    ~ResourceImage();
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;

    // Decodes resource `id` of `type` (for example L"PNG") in the program's module, replacing
    // whatever was held before. False, with nothing held, when the resource is missing or
    // empty or its bytes are no picture the decoder knows.
    bool LoadImageResource(UINT id, const wchar_t* type);
    // Lets the picture go: the bitmap first, then its memory (unlocked, freed).
    void release();

    bool isNull() const { return bitmap_ == nullptr; }
    Gdiplus::GpBitmap* bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The box of the pixels that are not fully transparent (right and bottom exclusive); empty
    // for an empty picture.
    RECT visibleBox() const;

  private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
    win::GlobalMemory memory_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace brisalune
