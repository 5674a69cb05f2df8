// A dialog made from a template, run modally by the one modal loop of the program or created
// modeless (tests).
#pragma once

#include <windows.h>

#include <vector>

#include "win/Window.h"

namespace brisalune::win {

class Control;

class Dialog : public Window {
  public:
    Dialog(UINT templateId, HWND parent);
    ~Dialog() override;

    // Disables the owner, creates the dialog, pumps messages through the pre-translation chain
    // until EndDialog, re-enables the owner and destroys the window. A WM_QUIT met on the way is
    // posted again for the loop above. Answers the EndDialog result, or -1 when the dialog
    // could not be made.
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

    // Binds a control object to the template's control; reflected messages reach it.
    bool attach(Control& control, int id);
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    HWND parentWindow() const { return parent_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    Control* controlFor(HWND child) const;
    void centreOnOwner();

    UINT templateId_;
    HWND parent_;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
    std::vector<Control*> controls_;
};

}  // namespace brisalune::win
