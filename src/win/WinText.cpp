#include "win/WinText.h"

#include "base/Program.h"
#include "base/WideText.h"

namespace brisalune::win {

void setWindowTextUtf8(HWND window, const std::string& text) {
    SetWindowTextW(window, utf8ToWide(text, 256).c_str());
}

std::string windowTextUtf8(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return narrow(text);
}

}  // namespace brisalune::win
