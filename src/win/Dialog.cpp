#include "win/Dialog.h"

#include <algorithm>

namespace brisalune::win {

namespace {

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool returnsDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

// The scripted user of this thread's tests; none in the program.
thread_local ScriptedUser* g_scriptedUser = nullptr;

}  // namespace

Dialog::Dialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::~Dialog() {
    // The controls are members of this class and go after it: a window still open ends while
    // they live, and whatever its end sends them reaches live objects.
    Destroy();
}

HINSTANCE Dialog::instance() {
    return GetModuleHandleW(nullptr);
}

bool Dialog::Create() {
    ended_ = false;
    result_ = 0;
    HWND hwnd = CreateDialogParamW(instance(), MAKEINTRESOURCEW(templateId_), parent_, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) {
        return false;
    }
    // Templates without WS_VISIBLE are shown here, centred on their owner, as the system's own
    // modal dialogs are; a dialog that ended during its initialisation stays hidden.
    if (!ended_ && !IsWindowVisible(hwnd)) {
        centreOnOwner();
        ShowWindow(hwnd, SW_SHOW);
    }
    OnCreated();
    return true;
}

RECT Dialog::workAreaOf(HWND window) const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return monitor.rcWork;
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void Dialog::centreOnOwner() {
    RECT window;
    GetWindowRect(hwnd_, &window);
    HWND owner = parent_;
    // The owner's monitor, also when the owner is hidden in the tray or minimised.
    const RECT work = workAreaOf(owner != nullptr ? owner : hwnd_);
    RECT area = work;
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the whole dialog on the work area even when its owner sits at a screen edge.
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::Destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

void Dialog::giveBackOwner() {
    if (ownerDisabled_) {
        EnableWindow(parent_, TRUE);
        ownerDisabled_ = false;
    }
}

void Dialog::activateOwner() {
    if (parent_ != nullptr && IsWindowVisible(parent_) && IsWindowEnabled(parent_)) {
        SetActiveWindow(parent_);
    }
}

INT_PTR Dialog::DoModal() {
    ownerDisabled_ = parent_ != nullptr && IsWindowEnabled(parent_);
    if (ownerDisabled_) {
        EnableWindow(parent_, FALSE);
    }
    modal_ = true;
    if (!Create()) {
        giveBackOwner();
        modal_ = false;
        return -1;
    }
    if (g_scriptedUser != nullptr && g_scriptedUser->shown) {
        g_scriptedUser->shown(*this);
    }
    MSG msg;
    while (!ended_ && hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        if (!preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // Left without EndDialog (a WM_QUIT): the owner still comes back before the dialog goes.
    const bool active = hwnd_ != nullptr && GetActiveWindow() == hwnd_;
    giveBackOwner();
    if (active) {
        activateOwner();
    }
    Destroy();
    modal_ = false;
    return result_;
}

void Dialog::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (hwnd_ == nullptr) {
        return;
    }
    // Hiding the active window hands activation to the next window that can take it: the owner
    // must be enabled by then, or another program comes to the front.
    const bool active = GetActiveWindow() == hwnd_;
    giveBackOwner();
    ShowWindow(hwnd_, SW_HIDE);
    if (active) {
        activateOwner();
    }
    // Wakes the modal loop, which may be waiting for a message.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool Dialog::PreTranslateMessage(MSG& msg) {
    const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                       (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
    if (!input || hwnd_ == nullptr || msg.hwnd == nullptr) {
        return false;
    }
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) {
        return false;
    }
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

bool Dialog::OnCommand(WORD id, WORD, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

int Dialog::askUser(const std::wstring& text, const std::wstring& caption, UINT buttons) {
    if (ScriptedUser* user = g_scriptedUser) {
        return user->answer ? user->answer(*this, text, caption, buttons) : IDCANCEL;
    }
    return MessageBoxW(hwnd_, text.c_str(), caption.c_str(), buttons);
}

UINT Dialog::trackMenu(HMENU menu, int x, int y, HWND owner) {
    if (ScriptedUser* user = g_scriptedUser) {
        return user->choose ? user->choose(*this, menu) : 0;
    }
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VERTICAL, x, y, 0, owner, nullptr));
}

Control* Dialog::controlFor(HWND child) const {
    if (child == nullptr) {
        return nullptr;
    }
    for (const OwnedControl& owned : controls_) {
        if (owned.control->hwnd() == child) {
            return owned.control.get();
        }
    }
    return nullptr;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->bindHandle(hwnd);
    } else {
        dialog = static_cast<Dialog*>(Window::FromHandle(hwnd));
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        dialog->unbindHandle();
        return FALSE;
    }
    return dialog->handle(message, wParam, lParam);
}

INT_PTR Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        for (OwnedControl& owned : controls_) {
            owned.control->Attach(hwnd_, owned.id);
        }
        return OnInitDialog() ? TRUE : FALSE;
    }
    LRESULT result = 0;
    bool handled = false;
    // Reflection: the control the message is about handles it first.
    Control* control = nullptr;
    switch (message) {
        case WM_DRAWITEM:
            control = controlFor(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem);
            break;
        case WM_MEASUREITEM:
            control = controlFor(
                item(static_cast<int>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID)));
            break;
        case WM_COMPAREITEM:
            control = controlFor(reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem);
            break;
        case WM_DELETEITEM: {
            const auto* deleted = reinterpret_cast<DELETEITEMSTRUCT*>(lParam);
            control =
                controlFor(deleted->hwndItem != nullptr ? deleted->hwndItem
                                                        : item(static_cast<int>(deleted->CtlID)));
            break;
        }
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORSCROLLBAR:
            control = controlFor(reinterpret_cast<HWND>(lParam));
            break;
        case WM_COMMAND:
            if (lParam != 0) {
                control = controlFor(reinterpret_cast<HWND>(lParam));
            }
            break;
        case WM_NOTIFY:
            control = controlFor(reinterpret_cast<NMHDR*>(lParam)->hwndFrom);
            break;
        default:
            break;
    }
    if (control != nullptr) {
        handled = control->OnReflectedMessage(message, wParam, lParam, &result);
    }
    if (!handled && message == WM_COMMAND) {
        handled = OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    }
    if (!handled) {
        handled = OnMessage(message, wParam, lParam, &result);
    }
    if (!handled) {
        return FALSE;
    }
    if (returnsDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

ScriptedUserScope::ScriptedUserScope(ScriptedUser user)
    : user_(std::move(user)), previous_(g_scriptedUser) {
    g_scriptedUser = &user_;
}

ScriptedUserScope::~ScriptedUserScope() {
    g_scriptedUser = previous_;
}

}  // namespace brisalune::win
