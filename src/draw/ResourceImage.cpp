#include "draw/ResourceImage.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "draw/DibImage.h"

namespace brisalune {

namespace {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

}  // namespace

ResourceImage::ResourceImage() {
    GdiplusSession::instance().imageCreated();
}

ResourceImage::~ResourceImage() {
    release();
    GdiplusSession::instance().imageDestroyed();
}

void ResourceImage::release() {
    if (bitmap_ != nullptr) {
        flat::GdipDisposeImage(bitmap_);
        bitmap_ = nullptr;
    }
    if (memory_) {
        GlobalUnlock(memory_.get());
        memory_.reset();
    }
    width_ = 0;
    height_ = 0;
}

bool ResourceImage::LoadImageResource(UINT id, const wchar_t* type) {
    release();
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return false;
    }
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) {
        return false;
    }
    if (!GdiplusSession::instance().ensureStarted()) {
        return false;
    }

    win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) {
        return false;
    }
    void* copy = GlobalLock(memory.get());
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(copy, bytes, size);

    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), FALSE, &stream)) || stream == nullptr) {
        GlobalUnlock(memory.get());
        return false;
    }
    gp::GpBitmap* decoded = nullptr;
    const gp::GpStatus status = flat::GdipCreateBitmapFromStream(stream, &decoded);
    // The bitmap holds its own reference to the stream while it needs one.
    stream->Release();

    UINT width = 0;
    UINT height = 0;
    if (status != gp::Ok || decoded == nullptr ||
        flat::GdipGetImageWidth(decoded, &width) != gp::Ok ||
        flat::GdipGetImageHeight(decoded, &height) != gp::Ok) {
        if (decoded != nullptr) {
            flat::GdipDisposeImage(decoded);
        }
        GlobalUnlock(memory.get());
        return false;
    }
    bitmap_ = decoded;
    memory_ = std::move(memory);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return true;
}

RECT ResourceImage::visibleBox() const {
    RECT box{width_, height_, 0, 0};
    gp::GpRect whole(0, 0, width_, height_);
    gp::BitmapData locked = {};
    if (bitmap_ == nullptr || flat::GdipBitmapLockBits(bitmap_, &whole, gp::ImageLockModeRead,
                                                       PixelFormat32bppARGB, &locked) != gp::Ok) {
        return RECT{};
    }
    for (int y = 0; y < height_; ++y) {
        const auto* row =
            static_cast<const BYTE*>(locked.Scan0) + static_cast<ptrdiff_t>(y) * locked.Stride;
        for (int x = 0; x < width_; ++x) {
            if (row[4 * x + 3] != 0) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    flat::GdipBitmapUnlockBits(bitmap_, &locked);
    return box.right > 0 ? box : RECT{};
}

}  // namespace brisalune
