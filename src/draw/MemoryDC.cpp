#include "draw/MemoryDC.h"

namespace brisalune {

MemoryDC::MemoryDC(HDC target, const RECT* rect, bool copyInitial) : target_(target) {
    if (rect != nullptr && !IsRectEmpty(rect)) {
        rect_ = *rect;
    } else {
        GetClipBox(target_, &rect_);
    }
    if (GetDeviceCaps(target_, TECHNOLOGY) == DT_RASPRINTER) {
        return;
    }
    const int width = rect_.right - rect_.left;
    const int height = rect_.bottom - rect_.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    dc_ = CreateCompatibleDC(target_);
    if (dc_ == nullptr) {
        return;
    }
    bitmap_ = CreateCompatibleBitmap(target_, width, height);
    if (bitmap_ == nullptr) {
        // Drawing still reaches the target, only without the off-screen step.
        DeleteDC(dc_);
        dc_ = nullptr;
        return;
    }
    oldBitmap_ = SelectObject(dc_, bitmap_);
    SetWindowOrgEx(dc_, rect_.left, rect_.top, nullptr);
    isMemory_ = true;
    if (copyInitial) {
        BitBlt(dc_, rect_.left, rect_.top, width, height, target_, rect_.left, rect_.top, SRCCOPY);
    }
}

MemoryDC::~MemoryDC() {
    end();
}

void MemoryDC::end() {
    if (!isMemory_) {
        return;
    }
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_,
           rect_.left, rect_.top, SRCCOPY);
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    oldBitmap_ = nullptr;
    isMemory_ = false;
}

}  // namespace brisalune
