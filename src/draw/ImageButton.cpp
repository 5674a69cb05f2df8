#include "draw/ImageButton.h"

#include <algorithm>

#include "draw/GdiplusHandles.h"
#include "draw/MemoryDC.h"
#include "win/Dpi.h"

namespace brisalune {

namespace {

using namespace brisalune::gdiplus;

// Red, green and blue become 1.05 x value + 0.05 (clamped); alpha stays.
const gp::ColorMatrix kBrighten = {{
    {1.05f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 1.05f, 0.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.05f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
    {0.05f, 0.05f, 0.05f, 0.0f, 1.0f},
}};

}  // namespace

ImageButton::ImageButton() = default;

ImageButton::~ImageButton() = default;

bool ImageButton::LoadImageResource(UINT id, const wchar_t* type) {
    auto image = std::make_unique<ResourceImage>();
    const bool loaded = image->LoadImageResource(id, type);
    image_ = std::move(image);
    doubleSize_.reset();
    return loaded;
}

bool ImageButton::LoadImageResource(UINT id, UINT doubleSizeId, const wchar_t* type) {
    const bool loaded = LoadImageResource(id, type);
    auto large = std::make_unique<ResourceImage>();
    if (large->LoadImageResource(doubleSizeId, type)) {
        doubleSize_ = std::move(large);
    }
    return loaded;
}

SIZE ImageButton::pictureSize() const {
    if (!hasImage()) {
        return SIZE{0, 0};
    }
    const int width = image_->width();
    const int height = image_->height();
    int drawnWidth = win::dpiScaled(width);
    const RECT visible = image_->visibleBox();
    RECT client{};
    if (drawnWidth > width && visible.right > 0 && hwnd_ != nullptr &&
        GetClientRect(hwnd_, &client)) {
        const int shift = win::dpiScaled(1);
        // The widest drawing whose visible part still ends inside the button.
        const int fitsAcross = (client.right - shift) * width / visible.right;
        const int fitsDown = (client.bottom - shift) * width / visible.bottom;
        drawnWidth = std::max(width, std::min({drawnWidth, fitsAcross, fitsDown}));
    }
    return SIZE{drawnWidth, MulDiv(drawnWidth, height, width)};
}

void ImageButton::OnAttached() {
    // The button draws itself only as an owner-drawn one; the template's push-button type is
    // replaced rather than or-ed, which would make another type out of a default push button.
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const LONG_PTR ownerDrawn = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
    if (ownerDrawn != style) {
        SetWindowLongPtrW(hwnd_, GWL_STYLE, ownerDrawn);
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

bool ImageButton::PreTranslateMessage(MSG& msg) {
    // The button class reports a double-click of an owner-drawn button instead of pressing it.
    if (msg.message == WM_LBUTTONDBLCLK && msg.hwnd == hwnd_ && hwnd_ != nullptr) {
        msg.message = WM_LBUTTONDOWN;
    }
    return false;
}

bool ImageButton::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_CTLCOLORBTN:
            // Asked before every paint: the moment to compose, once. The parent's own colours
            // still answer the request.
            buildCache(reinterpret_cast<HDC>(wParam));
            return false;
        case WM_DRAWITEM:
            paint(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            *result = TRUE;
            return true;
        default:
            return false;
    }
}

LRESULT ImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            // Nothing is erased: the composed picture covers the whole button, and a button
            // without one is meant to show what lies behind it.
            return 1;
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_HOVER | TME_LEAVE;
                track.hwndTrack = hwnd_;
                track.dwHoverTime = kHoverTime;
                tracking_ = TrackMouseEvent(&track) != FALSE;
            }
            break;
        case WM_MOUSEHOVER: {
            hover_ = true;
            // From now on only the leave is wanted. Wine looks for hover and leave with a timer
            // at the hover time, so left as it was, a pointer resting here would wake this
            // thread every few milliseconds for as long as it rests; asked for the leave alone,
            // it looks at the system's hover interval. Windows tells the leave as it happens.
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd_;
            TrackMouseEvent(&track);
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking_ = false;
            hover_ = false;
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

bool ImageButton::captureBackground(int width, int height) {
    HWND parentWindow = parent();
    if (parentWindow == nullptr) {
        return false;
    }
    win::WindowDc parentDc(parentWindow);
    if (parentDc.get() == nullptr) {
        return false;
    }
    // The button's client origin in the parent's client coordinates: the pixels the picture
    // will stand on.
    POINT origin{0, 0};
    MapWindowPoints(hwnd_, parentWindow, &origin, 1);
    win::BitmapDc background;
    if (!background.create(parentDc.get(), width, height)) {
        return false;
    }
    BitBlt(background.get(), 0, 0, width, height, parentDc.get(), origin.x, origin.y, SRCCOPY);
    background_ = std::move(background);
    return true;
}

void ImageButton::buildCache(HDC dc) {
    if (cacheBuilt_ || !hasImage() || hwnd_ == nullptr || dc == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) {
        return;
    }
    if (!background_ && !captureBackground(width, height)) {
        return;
    }

    MemoryDC surface(dc, &client, false);
    gp::GpGraphics* rawGraphics = nullptr;
    if (flat::GdipCreateFromHDC(surface.get(), &rawGraphics) != gp::Ok) {
        return;
    }
    GraphicsPtr graphics(rawGraphics);
    // The double-size picture serves wherever the picture is drawn larger than its own size,
    // so a picture is only made smaller, never blown up, while a larger one exists.
    const SIZE drawn = pictureSize();
    const ResourceImage& source =
        doubleSize_ != nullptr && (drawn.cx > image_->width() || drawn.cy > image_->height())
            ? *doubleSize_
            : *image_;
    gp::GpBitmap* picture = source.bitmap();
    if (drawn.cx != source.width() || drawn.cy != source.height()) {
        flat::GdipSetInterpolationMode(graphics.get(), gp::InterpolationModeHighQualityBicubic);
        flat::GdipSetPixelOffsetMode(graphics.get(), gp::PixelOffsetModeHighQuality);
    }
    // The pressed picture moves by one pixel at 96 DPI.
    const int shift = win::dpiScaled(1);

    // Background, then the picture at (x, y) at its drawn size, then copied out. The explicit
    // size keeps the picture from being scaled by the difference between its resolution and
    // the screen's.
    auto compose = [&](win::BitmapDc& state, int x, int y,
                       const gp::GpImageAttributes* attributes) {
        if (state) {
            return;
        }
        BitBlt(surface.get(), 0, 0, width, height, background_.get(), 0, 0, SRCCOPY);
        flat::GdipDrawImageRectRectI(graphics.get(), picture, x, y, drawn.cx, drawn.cy, 0, 0,
                                     source.width(), source.height(), gp::UnitPixel, attributes,
                                     nullptr, nullptr);
        flat::GdipFlush(graphics.get(), gp::FlushIntentionSync);
        win::BitmapDc composed;
        if (composed.create(surface.get(), width, height) &&
            BitBlt(composed.get(), 0, 0, width, height, surface.get(), 0, 0, SRCCOPY)) {
            state = std::move(composed);
        }
    };

    compose(normal_, 0, 0, nullptr);
    compose(pressed_, shift, shift, nullptr);
    gp::GpImageAttributes* rawAttributes = nullptr;
    if (!hot_ && flat::GdipCreateImageAttributes(&rawAttributes) == gp::Ok) {
        ImageAttributesPtr attributes(rawAttributes);
        if (flat::GdipSetImageAttributesColorMatrix(attributes.get(), gp::ColorAdjustTypeDefault,
                                                    TRUE, &kBrighten, nullptr,
                                                    gp::ColorMatrixFlagsDefault) == gp::Ok) {
            compose(hot_, 0, 0, attributes.get());
        }
    }

    // A state GDI had no room for is tried again at the next paint.
    if (normal_ && pressed_ && hot_) {
        cacheBuilt_ = true;
        if (current_ == State::None) {
            current_ = State::Normal;
        }
    }
}

const win::BitmapDc* ImageButton::surfaceOf(State state) const {
    switch (state) {
        case State::Normal:
            return &normal_;
        case State::Pressed:
            return &pressed_;
        case State::Hot:
            return &hot_;
        default:
            return nullptr;
    }
}

void ImageButton::paint(const DRAWITEMSTRUCT& item) {
    // A parent that does not pass the colour request on still gets a composed button.
    buildCache(item.hDC);
    if (!cacheBuilt_) {
        return;
    }
    current_ = (item.itemState & ODS_SELECTED) != 0 ? State::Pressed
               : hover_                             ? State::Hot
                                                    : State::Normal;
    const win::BitmapDc* shown = surfaceOf(current_);
    BitBlt(item.hDC, 0, 0, shown->width(), shown->height(), shown->get(), 0, 0, SRCCOPY);
}

}  // namespace brisalune
