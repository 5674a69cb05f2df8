#include "win/Dpi.h"

#include <windows.h>

namespace brisalune::win {

int systemDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int found = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen != nullptr) {
            ReleaseDC(nullptr, screen);
        }
        return found > 0 ? found : kBaseDpi;
    }();
    return dpi;
}

int dpiScaled(int size, int dpi) {
    return MulDiv(size, dpi, kBaseDpi);
}

int dpiScaled(int size) {
    return dpiScaled(size, systemDpi());
}

}  // namespace brisalune::win
