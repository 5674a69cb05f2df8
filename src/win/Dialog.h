// A dialog made from a template, run modally by the one modal loop of the program or created
// modeless (tests).
//
// Controls: a dialog makes its control objects with addControl (usually as member
// initialisers) and owns them. They are bound to the template's controls before OnInitDialog
// and outlive the dialog's window, so every message sent while the window is destroyed reaches
// live objects, whichever way the dialog goes.
//
// Questions to the user: every message box and pop-up menu of a dialog goes through askUser and
// trackMenu. Tests override them, or install a ScriptedUser for the thread, which also hands
// them each modal dialog once it is on screen:
//
//     win::ScriptedUser user;
//     user.answer = [](win::Dialog&, const std::wstring& text, const std::wstring&, UINT) {
//         return IDYES;
//     };
//     user.shown = [](win::Dialog& dialog) {
//         // Fill in its controls, then press OK as a user would: the loop runs OnOK.
//         PostMessageW(dialog.hwnd(), WM_COMMAND, IDOK, 0);
//     };
//     win::ScriptedUserScope scope(std::move(user));
//     ... code that asks, or opens modal dialogs; their results are read from the objects ...
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/Control.h"
#include "win/Window.h"

namespace brisalune::win {

class Dialog : public Window {
  public:
    Dialog(UINT templateId, HWND parent);
    // Destroys a window still open before the controls go.
    ~Dialog() override;

    // Disables the owner, creates the dialog, pumps messages through the pre-translation chain
    // until EndDialog and destroys the window; the owner is enabled again and activated before
    // the dialog disappears. A WM_QUIT met on the way is posted again for the loop above.
    // Answers the EndDialog result (0 when a WM_QUIT ended the loop), or -1 when the dialog
    // could not be made. The object stays, so its results can be read afterwards.
    INT_PTR DoModal();
    // Creates the dialog without a loop of its own; the caller pumps messages.
    bool Create();
    void Destroy();

    void EndDialog(INT_PTR result);
    bool ended() const { return ended_; }
    INT_PTR result() const { return result_; }
    bool isModal() const { return modal_; }

    // Keyboard and mouse messages of this dialog and its controls go through IsDialogMessage.
    bool PreTranslateMessage(MSG& msg) override;

    static HINSTANCE instance();

  protected:
    // Answer true to let the dialog manager give the focus to the first control.
    virtual bool OnInitDialog() { return true; }
    // After the window exists and has been shown as its template says.
    virtual void OnCreated() {}
    // Default: IDOK runs OnOK, IDCANCEL OnCancel.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Any other message. Answer true with *result when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // A message box owned by the dialog (MessageBoxW's buttons and answers).
    virtual int askUser(const std::wstring& text, const std::wstring& caption, UINT buttons);
    // A pop-up menu at screen point (x, y); the chosen command, or 0 when none was chosen.
    virtual UINT trackMenu(HMENU menu, int x, int y, HWND owner);

    // The work area of the monitor that shows `window`: dialogs are centred within it.
    virtual RECT workAreaOf(HWND window) const;

    // Makes a control object owned by the dialog and bound to the template's control `id`
    // whenever the window is made. The reflected messages about that control reach it.
    template <typename T, typename... Args>
    T& addControl(int id, Args&&... args) {
        auto control = std::make_unique<T>(std::forward<Args>(args)...);
        T& made = *control;
        controls_.push_back({id, std::move(control)});
        return made;
    }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    HWND parentWindow() const { return parent_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    Control* controlFor(HWND child) const;
    void centreOnOwner();
    void giveBackOwner();
    void activateOwner();

    struct OwnedControl {
        int id;
        std::unique_ptr<Control> control;
    };

    UINT templateId_;
    HWND parent_;
    bool modal_ = false;
    bool ownerDisabled_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
    std::vector<OwnedControl> controls_;
};

// The user, as a test scripts it. Each part left empty answers as a user who closes the box
// (IDCANCEL) or the menu (0) would; `shown` left empty lets a modal dialog run its own loop.
struct ScriptedUser {
    std::function<int(Dialog& asking, const std::wstring& text, const std::wstring& caption,
                      UINT buttons)>
        answer;
    std::function<UINT(Dialog& asking, HMENU menu)> choose;
    // Each modal dialog, on screen, just before its loop starts: a test reads or fills it, and
    // ends it (EndDialog, or a posted command that the loop then handles).
    std::function<void(Dialog& shown)> shown;
};

// Installs a scripted user for the calling thread's dialogs while it lives; scopes nest.
class ScriptedUserScope {
  public:
    explicit ScriptedUserScope(ScriptedUser user);
    ~ScriptedUserScope();
    ScriptedUserScope(const ScriptedUserScope&) = delete;
    ScriptedUserScope& operator=(const ScriptedUserScope&) = delete;

  private:
    ScriptedUser user_;
    ScriptedUser* previous_;
};

}  // namespace brisalune::win
