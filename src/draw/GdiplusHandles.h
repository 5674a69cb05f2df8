// Owners of the GDI+ flat API's objects, released on every path.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace brisalune::gdiplus {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

struct ImageDeleter {
    void operator()(gp::GpImage* image) const { flat::GdipDisposeImage(image); }
};
using BitmapPtr = std::unique_ptr<gp::GpBitmap, ImageDeleter>;

struct GraphicsDeleter {
    void operator()(gp::GpGraphics* graphics) const { flat::GdipDeleteGraphics(graphics); }
};
using GraphicsPtr = std::unique_ptr<gp::GpGraphics, GraphicsDeleter>;

struct ImageAttributesDeleter {
    void operator()(gp::GpImageAttributes* attributes) const {
        flat::GdipDisposeImageAttributes(attributes);
    }
};
using ImageAttributesPtr = std::unique_ptr<gp::GpImageAttributes, ImageAttributesDeleter>;

}  // namespace brisalune::gdiplus
