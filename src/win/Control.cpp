#include "win/Control.h"

#include <commctrl.h>

namespace brisalune::win {

namespace {
const UINT_PTR kSubclassId = 0x42524953;  // "BRIS"
}

Control::~Control() {
    Detach();
}

bool Control::Attach(HWND dialog, int id) {
    Detach();
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return false;
    }
    if (!SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    id_ = id;
    bindHandle(control);
    OnAttached();
    return true;
}

void Control::Detach() {
    if (hwnd_ != nullptr) {
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
        unbindHandle();
    }
}

bool Control::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

LRESULT Control::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
    auto* control = reinterpret_cast<Control*>(data);
    if (message == WM_NCDESTROY) {
        // The window goes; the object stays usable but unbound.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        control->unbindHandle();
        return result;
    }
    return control->WindowProc(message, wParam, lParam);
}

}  // namespace brisalune::win
