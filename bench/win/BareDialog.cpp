// A bare Win32 dialog built the way Brisalune is, the yardstick of the figures: a template, a
// list box with one row and a plain push button, nothing else.
#include <windows.h>

#include "BareDialog.h"

namespace {

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, IDC_BARE_LIST, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(L"Calgary   Partly Cloudy   -3 / 5"));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BARE), nullptr, dialogProc, 0));
}
