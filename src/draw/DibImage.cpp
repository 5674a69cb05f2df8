#include "draw/DibImage.h"

#include "draw/GdiplusHandles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "base/WideText.h"
#include "win/Dpi.h"

namespace brisalune {

namespace {

using namespace brisalune::gdiplus;

// A colour palette of up to 254 entries fits here; the full 256 of a GIF goes to the heap.
constexpr size_t kStackPaletteBytes = 1024;

// The picture of the file at the UTF-8 path, or null when GDI+ cannot start or decode it.
BitmapPtr decodeFile(const std::string& path) {
    if (!GdiplusSession::instance().ensureStarted()) {
        return nullptr;
    }
    // Every text in the program is UTF-8, the program directory included.
    const std::wstring widePath = widen(path);
    gp::GpBitmap* decoded = nullptr;
    const gp::GpStatus status = flat::GdipCreateBitmapFromFile(widePath.c_str(), &decoded);
    BitmapPtr picture(decoded);
    return status == gp::Ok ? std::move(picture) : nullptr;
}

// Draws the whole picture into (0, 0, width, height) of the graphics.
bool drawResampled(gp::GpGraphics* graphics, gp::GpBitmap* picture, int width, int height) {
    UINT pictureWidth = 0;
    UINT pictureHeight = 0;
    if (flat::GdipGetImageWidth(picture, &pictureWidth) != gp::Ok ||
        flat::GdipGetImageHeight(picture, &pictureHeight) != gp::Ok) {
        return false;
    }
    // The smoothest filter GDI+ has; the edges repeat the picture's own border pixels instead
    // of fading into nothing.
    flat::GdipSetInterpolationMode(graphics, gp::InterpolationModeHighQualityBicubic);
    flat::GdipSetPixelOffsetMode(graphics, gp::PixelOffsetModeHighQuality);
    gp::GpImageAttributes* rawAttributes = nullptr;
    if (flat::GdipCreateImageAttributes(&rawAttributes) != gp::Ok) {
        return false;
    }
    ImageAttributesPtr attributes(rawAttributes);
    flat::GdipSetImageAttributesWrapMode(attributes.get(), gp::WrapModeTileFlipXY, 0, FALSE);
    return flat::GdipDrawImageRectRectI(graphics, picture, 0, 0, width, height, 0, 0,
                                        static_cast<INT>(pictureWidth),
                                        static_cast<INT>(pictureHeight), gp::UnitPixel,
                                        attributes.get(), nullptr, nullptr) == gp::Ok;
}

}  // namespace

// ---- GdiplusSession ------------------------------------------------------------------------

GdiplusSession& GdiplusSession::instance() {
    static GdiplusSession session;
    return session;
}

void GdiplusSession::imageCreated() {
    std::lock_guard<std::mutex> hold(mutex_);
    ++liveImages_;
}

void GdiplusSession::imageDestroyed() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (--liveImages_ == 0 && token_ != 0) {
        gp::GdiplusShutdown(token_);
        token_ = 0;
    }
}

bool GdiplusSession::ensureStarted() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (token_ != 0) {
        return true;
    }
    gp::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    ULONG_PTR token = 0;
    if (gp::GdiplusStartup(&token, &input, nullptr) != gp::Ok) {
        return false;
    }
    token_ = token;
    return true;
}

bool GdiplusSession::isRunning() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return token_ != 0;
}

int GdiplusSession::liveImages() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return liveImages_;
}

// ---- DcCache -------------------------------------------------------------------------------

DcCache& DcCache::instance() {
    static DcCache cache;
    return cache;
}

DcCache::~DcCache() {
    for (void* volatile& slot : slots_) {
        if (void* dc = InterlockedExchangePointer(&slot, nullptr)) {
            DeleteDC(static_cast<HDC>(dc));
        }
    }
}

HDC DcCache::take() {
    for (void* volatile& slot : slots_) {
        if (void* dc = InterlockedExchangePointer(&slot, nullptr)) {
            return static_cast<HDC>(dc);
        }
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc != nullptr) {
        ++created_;
    }
    return dc;
}

void DcCache::giveBack(HDC dc) {
    void* carried = dc;
    for (void* volatile& slot : slots_) {
        carried = InterlockedExchangePointer(&slot, carried);
        if (carried == nullptr) {
            return;
        }
    }
    DeleteDC(static_cast<HDC>(carried));
    ++deleted_;
}

HDC DcCache::cached(int slot) {
    if (slot < 0 || slot >= kSlots) {
        return nullptr;
    }
    return static_cast<HDC>(InterlockedCompareExchangePointer(&slots_[slot], nullptr, nullptr));
}

// ---- DibImage ------------------------------------------------------------------------------

DibImage::DibImage() {
    GdiplusSession::instance().imageCreated();
}

DibImage::~DibImage() {
    destroy();
    GdiplusSession::instance().imageDestroyed();
}

DibImage::DibImage(DibImage&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, nullptr)),
      bits_(std::exchange(other.bits_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      pitch_(std::exchange(other.pitch_, 0)),
      bitsPerPixel_(std::exchange(other.bitsPerPixel_, 0)),
      isDibSection_(std::exchange(other.isDibSection_, false)),
      hasAlpha_(std::exchange(other.hasAlpha_, false)),
      transparentColor_(std::exchange(other.transparentColor_, -1)),
      dc_(std::exchange(other.dc_, nullptr)),
      dcRefCount_(std::exchange(other.dcRefCount_, 0)),
      oldBitmap_(std::exchange(other.oldBitmap_, nullptr)) {
    // The moved-from object is still a live image until it is destroyed.
    GdiplusSession::instance().imageCreated();
}

DibImage& DibImage::operator=(DibImage&& other) noexcept {
    if (this != &other) {
        destroy();
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        bits_ = std::exchange(other.bits_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        pitch_ = std::exchange(other.pitch_, 0);
        bitsPerPixel_ = std::exchange(other.bitsPerPixel_, 0);
        isDibSection_ = std::exchange(other.isDibSection_, false);
        hasAlpha_ = std::exchange(other.hasAlpha_, false);
        transparentColor_ = std::exchange(other.transparentColor_, -1);
        dc_ = std::exchange(other.dc_, nullptr);
        dcRefCount_ = std::exchange(other.dcRefCount_, 0);
        oldBitmap_ = std::exchange(other.oldBitmap_, nullptr);
    }
    return *this;
}

void DibImage::destroy() {
    if (dc_ != nullptr) {
        // A borrow left open must not strand the bitmap selected in a cached DC.
        SelectObject(dc_, oldBitmap_);
        DcCache::instance().giveBack(dc_);
        dc_ = nullptr;
        oldBitmap_ = nullptr;
    }
    dcRefCount_ = 0;
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
    pitch_ = 0;
    bitsPerPixel_ = 0;
    isDibSection_ = false;
    hasAlpha_ = false;
    transparentColor_ = -1;
}

HRESULT DibImage::Load(const std::string& path) {
    destroy();
    BitmapPtr picture = decodeFile(path);
    if (picture == nullptr) {
        return E_FAIL;
    }
    const HRESULT result = createFromDecoded(picture.get());
    if (FAILED(result)) {
        destroy();
    }
    return result;
}

HRESULT DibImage::LoadForDpi(const std::string& path, int dpi) {
    destroy();
    // A double-size picture stands for a 96-DPI one of half its size.
    int sourceScale = 2;
    BitmapPtr picture = dpi > win::kBaseDpi ? decodeFile(doubleSizePath(path)) : nullptr;
    if (picture == nullptr) {
        sourceScale = 1;
        picture = decodeFile(path);
    }
    UINT width = 0;
    UINT height = 0;
    if (picture == nullptr || flat::GdipGetImageWidth(picture.get(), &width) != gp::Ok ||
        flat::GdipGetImageHeight(picture.get(), &height) != gp::Ok) {
        return E_FAIL;
    }
    const int scaledWidth = std::max(1, win::dpiScaled(static_cast<int>(width) / sourceScale, dpi));
    const int scaledHeight =
        std::max(1, win::dpiScaled(static_cast<int>(height) / sourceScale, dpi));
    const HRESULT result = createFromDecoded(picture.get(), scaledWidth, scaledHeight);
    if (FAILED(result)) {
        destroy();
    }
    return result;
}

std::string DibImage::doubleSizePath(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        return "2x\\" + path;
    }
    return path.substr(0, slash + 1) + "2x" + path[slash] + path.substr(slash + 1);
}

HRESULT DibImage::createFromDecoded(void* gdiplusBitmap, int width, int height) {
    auto* picture = static_cast<gp::GpBitmap*>(gdiplusBitmap);

    gp::PixelFormat pictureFormat = PixelFormatUndefined;
    if (flat::GdipGetImagePixelFormat(picture, &pictureFormat) != gp::Ok) {
        return E_FAIL;
    }
    UINT pictureWidth = 0;
    UINT pictureHeight = 0;
    if (flat::GdipGetImageWidth(picture, &pictureWidth) != gp::Ok ||
        flat::GdipGetImageHeight(picture, &pictureHeight) != gp::Ok) {
        return E_FAIL;
    }
    if (width <= 0 || height <= 0) {
        width = static_cast<int>(pictureWidth);
        height = static_cast<int>(pictureHeight);
    }
    // A resampled picture has colours between its source's, so it needs full colour.
    const bool resampled =
        width != static_cast<int>(pictureWidth) || height != static_cast<int>(pictureHeight);

    int depth = 32;
    gp::PixelFormat format = PixelFormat32bppRGB;
    if ((pictureFormat & PixelFormatGDI) != 0 && !resampled) {
        depth = (pictureFormat >> 8) & 0xFF;
        format = pictureFormat;
    }
    if ((pictureFormat & PixelFormatAlpha) != 0) {
        depth = 32;
        format = PixelFormat32bppARGB;
        hasAlpha_ = true;
    }
    if (!createDibSection(width, height, depth)) {
        return E_FAIL;
    }

    if ((pictureFormat & PixelFormatIndexed) != 0) {
        INT paletteBytes = 0;
        if (flat::GdipGetImagePaletteSize(picture, &paletteBytes) != gp::Ok ||
            paletteBytes < static_cast<INT>(sizeof(gp::ColorPalette))) {
            return E_FAIL;
        }
        alignas(gp::ColorPalette) unsigned char stackPalette[kStackPaletteBytes];
        std::unique_ptr<unsigned char[]> heapPalette;
        unsigned char* paletteMemory = stackPalette;
        if (static_cast<size_t>(paletteBytes) > sizeof stackPalette) {
            heapPalette.reset(new (std::nothrow) unsigned char[static_cast<size_t>(paletteBytes)]);
            if (heapPalette == nullptr) {
                return E_OUTOFMEMORY;
            }
            paletteMemory = heapPalette.get();
        }
        auto* palette = reinterpret_cast<gp::ColorPalette*>(paletteMemory);
        if (flat::GdipGetImagePalette(picture, palette, paletteBytes) != gp::Ok) {
            return E_FAIL;
        }
        if (resampled) {
            // Drawn unscaled, a GIF's transparent colour shows as its palette colour (the
            // copy drops alpha); a resampled picture must look the same.
            for (UINT i = 0; i < palette->Count; ++i) {
                palette->Entries[i] |= 0xFF000000u;
            }
            palette->Flags &= ~static_cast<UINT>(gp::PaletteFlagsHasAlpha);
            if (flat::GdipSetImagePalette(picture, palette) != gp::Ok) {
                return E_FAIL;
            }
        } else {
            const UINT entries = palette->Count < 256 ? palette->Count : 256;
            RGBQUAD table[256] = {};
            for (UINT i = 0; i < entries; ++i) {
                const gp::ARGB colour = palette->Entries[i];
                table[i].rgbRed = static_cast<BYTE>((colour >> 16) & 0xFF);
                table[i].rgbGreen = static_cast<BYTE>((colour >> 8) & 0xFF);
                table[i].rgbBlue = static_cast<BYTE>(colour & 0xFF);
                table[i].rgbReserved = 0;
            }
            SetColorTable(0, entries, table);
        }
    }

    auto* top = static_cast<BYTE*>(bits_);
    if (pictureFormat == format && !resampled) {
        gp::GpRect whole(0, 0, width_, height_);
        gp::BitmapData locked = {};
        if (flat::GdipBitmapLockBits(picture, &whole, gp::ImageLockModeRead, format, &locked) !=
            gp::Ok) {
            return E_FAIL;
        }
        const size_t rowBytes = (static_cast<size_t>(width_) * bitsPerPixel_ + 7) / 8;
        const auto* source = static_cast<const BYTE*>(locked.Scan0);
        for (int y = 0; y < height_; ++y) {
            std::memcpy(top + static_cast<ptrdiff_t>(y) * pitch_,
                        source + static_cast<ptrdiff_t>(y) * locked.Stride, rowBytes);
        }
        flat::GdipBitmapUnlockBits(picture, &locked);
        return S_OK;
    }

    gp::GpBitmap* wrapped = nullptr;
    if (flat::GdipCreateBitmapFromScan0(width_, height_, pitch_, format, top, &wrapped) != gp::Ok) {
        return E_FAIL;
    }
    BitmapPtr wrapper(wrapped);
    gp::GpGraphics* rawGraphics = nullptr;
    if (flat::GdipGetImageGraphicsContext(wrapper.get(), &rawGraphics) != gp::Ok) {
        return E_FAIL;
    }
    GraphicsPtr graphics(rawGraphics);
    if (!resampled) {
        return flat::GdipDrawImageI(graphics.get(), picture, 0, 0) == gp::Ok ? S_OK : E_FAIL;
    }
    return drawResampled(graphics.get(), picture, width_, height_) ? S_OK : E_FAIL;
}

bool DibImage::createDibSection(int width, int height, int bitsPerPixel) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;  // positive: bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.header.biCompression = BI_RGB;

    void* start = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &start, nullptr, 0);
    if (bitmap == nullptr) {
        return false;
    }
    DIBSECTION section = {};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section) {
        DeleteObject(bitmap);
        return false;
    }
    bitmap_ = bitmap;
    isDibSection_ = true;
    width_ = section.dsBm.bmWidth;
    height_ = section.dsBm.bmHeight;
    bitsPerPixel_ = section.dsBm.bmBitsPixel;
    pitch_ = ((bitsPerPixel_ * width_ + 31) / 32) * 4;
    bits_ = static_cast<BYTE*>(section.dsBm.bmBits) + static_cast<ptrdiff_t>(height_ - 1) * pitch_;
    pitch_ = -pitch_;
    return true;
}

HDC DibImage::borrowDc() {
    if (bitmap_ == nullptr) {
        return nullptr;
    }
    if (dc_ == nullptr) {
        HDC dc = DcCache::instance().take();
        if (dc == nullptr) {
            return nullptr;
        }
        dc_ = dc;
        oldBitmap_ = SelectObject(dc_, bitmap_);
    }
    ++dcRefCount_;
    return dc_;
}

void DibImage::returnDc() {
    if (dcRefCount_ <= 0) {
        return;
    }
    if (--dcRefCount_ == 0) {
        SelectObject(dc_, oldBitmap_);
        DcCache::instance().giveBack(dc_);
        dc_ = nullptr;
        oldBitmap_ = nullptr;
    }
}

BOOL DibImage::StretchBlt(HDC target, int xDest, int yDest, int widthDest, int heightDest, int xSrc,
                          int ySrc, int widthSrc, int heightSrc) {
    HDC source = borrowDc();
    if (source == nullptr) {
        return FALSE;
    }
    const BOOL done = ::StretchBlt(target, xDest, yDest, widthDest, heightDest, source, xSrc, ySrc,
                                   widthSrc, heightSrc, SRCCOPY);
    returnDc();
    return done;
}

void DibImage::SetColorTable(UINT firstIndex, UINT count, const RGBQUAD* colours) {
    HDC dc = borrowDc();
    if (dc == nullptr) {
        return;
    }
    SetDIBColorTable(dc, firstIndex, count, colours);
    returnDc();
}

}  // namespace brisalune
