#include "draw/HintEdit.h"

#include "base/WideText.h"
#include "win/WinText.h"

namespace brisalune {

void HintEdit::OnAttached() {
    background_ = win::Brush(CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
    if (hintShown_ && !hint_.empty()) {
        win::setWindowTextUtf8(hwnd_, hint_);
    }
    SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

void HintEdit::SetText(const std::string& text) {
    if (hintShown_ && text.empty()) {
        return;
    }
    // WM_SETTEXT below ends the hint when the text is not the hint.
    win::setWindowTextUtf8(hwnd_, text);
}

void HintEdit::SetHint(const std::string& hint) {
    hint_ = hint;
    if (hint_.empty()) {
        hintShown_ = false;
    } else if (hintShown_) {
        win::setWindowTextUtf8(hwnd_, hint_);
    }
}

std::string HintEdit::GetText() const {
    return hintShown_ ? std::string() : win::windowTextUtf8(hwnd_);
}

void HintEdit::leaveHintMode() {
    if (hintShown_) {
        hintShown_ = false;
        Default(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    }
}

bool HintEdit::OnReflectedMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != WM_CTLCOLOREDIT) {
        return false;
    }
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (hintShown_) {
        SetTextColor(dc, hintColour);
    }
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    *result = reinterpret_cast<LRESULT>(background_.get());
    return background_.get() != nullptr;
}

LRESULT HintEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS: {
            const LRESULT result = Default(message, wParam, lParam);
            if (hintShown_) {
                // The caret waits behind the hint; the hint stays until the first key.
                const LRESULT end = Default(WM_GETTEXTLENGTH, 0, 0);
                SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(end), end);
                SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
            }
            return result;
        }
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            leaveHintMode();
            break;
        case WM_SETTEXT: {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            if (text == nullptr || (hintShown_ && text[0] == L'\0')) {
                return TRUE;
            }
            if (hintShown_ && narrow(text) != hint_) {
                hintShown_ = false;
            }
            break;
        }
        case WM_GETTEXT:
            if (hintShown_) {
                if (wParam > 0 && lParam != 0) {
                    reinterpret_cast<wchar_t*>(lParam)[0] = L'\0';
                }
                return 0;
            }
            break;
        case WM_GETTEXTLENGTH:
            if (hintShown_) {
                return 0;
            }
            break;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace brisalune
