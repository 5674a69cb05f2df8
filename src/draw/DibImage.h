// The in-memory picture of the condition images: a DIB section decoded from a file by GDI+.
// GDI+ only decodes; drawing is plain GDI, so the picture keeps its own depth and palette.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

namespace brisalune {

// Starts GDI+ when the first image loads and shuts it down when the last image is gone, so a
// process that shows no picture never keeps GDI+ and its background thread running.
class GdiplusSession {
  public:
    static GdiplusSession& instance();

    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    void imageCreated();
    void imageDestroyed();
    // Starts GDI+ unless it runs; false when it cannot be started.
    bool ensureStarted();

    bool isRunning() const;
    int liveImages() const;

  private:
    GdiplusSession() = default;

    mutable std::mutex mutex_;
    ULONG_PTR token_ = 0;
    int liveImages_ = 0;
};

// Lends memory DCs to images while they draw and keeps the four returned last, so that drawing
// row after row does not create and delete a DC each time. Slots are swapped atomically and
// need no lock.
class DcCache {
  public:
    static constexpr int kSlots = 4;

    static DcCache& instance();

    DcCache(const DcCache&) = delete;
    DcCache& operator=(const DcCache&) = delete;
    ~DcCache();

    HDC take();
    void giveBack(HDC dc);

    // For tests: what a slot holds now, and how many DCs the cache made and deleted so far.
    HDC cached(int slot);
    long created() const { return created_.load(); }
    long deleted() const { return deleted_.load(); }

  private:
    DcCache() = default;

    void* volatile slots_[kSlots] = {};
    std::atomic<long> created_{0};
    std::atomic<long> deleted_{0};
};

class DibImage {
  public:
    DibImage();
    ~DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;
    DibImage(DibImage&& other) noexcept;
    DibImage& operator=(DibImage&& other) noexcept;

    // Decodes the file at the UTF-8 path. S_OK, or E_FAIL / E_OUTOFMEMORY with the image left
    // empty.
    HRESULT Load(const std::string& path);
    // Decodes the picture of `path`, a picture meant for 96 DPI, for drawing at `dpi`: it comes
    // out at its own size scaled to that DPI. Above 96 DPI the double-size picture of the same
    // name (doubleSizePath) is the source when it exists, so a picture is only ever made
    // smaller, with a smoothing filter; the 96-DPI picture is enlarged only when it has no
    // double-size one.
    HRESULT LoadForDpi(const std::string& path, int dpi);
    // Where the double-size picture of `path` lies: in the folder "2x" beside it, under the
    // same name.
    static std::string doubleSizePath(const std::string& path);

    // SRCCOPY under the target's own stretching mode.
    BOOL StretchBlt(HDC target, int xDest, int yDest, int widthDest, int heightDest, int xSrc,
                    int ySrc, int widthSrc, int heightSrc);
    void SetColorTable(UINT firstIndex, UINT count, const RGBQUAD* colours);

    // The memory DC the bitmap is selected into; borrows nest and every borrow is returned.
    // An empty image lends no DC (nullptr, nothing to return).
    HDC borrowDc();
    void returnDc();

    bool isNull() const { return bitmap_ == nullptr; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    bool hasAlpha() const { return hasAlpha_; }
    bool isDibSection() const { return isDibSection_; }
    int transparentColor() const { return transparentColor_; }
    // Top row first; negative for the bottom-up DIBs made here.
    int pitch() const { return pitch_; }
    void* bits() const { return bits_; }

  private:
    // Leaves the image as a new one is: no bitmap, no borrowed DC.
    void destroy();
    // Makes the DIB from a decoded picture, resampled to width x height when that differs from
    // the picture's own size (0 keeps it).
    HRESULT createFromDecoded(void* gdiplusBitmap, int width = 0, int height = 0);
    bool createDibSection(int width, int height, int bitsPerPixel);

    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int pitch_ = 0;
    int bitsPerPixel_ = 0;
    bool isDibSection_ = false;
    bool hasAlpha_ = false;
    int transparentColor_ = -1;
    HDC dc_ = nullptr;
    int dcRefCount_ = 0;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace brisalune
