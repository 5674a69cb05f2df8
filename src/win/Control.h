// A control of a dialog template, bound to a C++ object by subclassing. The parent dialog
// makes and owns the object (Dialog::addControl) and reflects owner-draw, colour and
// notification messages back to it, so owner-drawn controls draw themselves.
#pragma once

#include <windows.h>

#include "win/Window.h"

namespace brisalune::win {

class Control : public Window {
  public:
    ~Control() override;

    // Binds the object to the control with that id in the dialog. False when there is none.
    bool Attach(HWND dialog, int id);
    void Detach();
    int id() const { return id_; }

    // WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM, WM_DELETEITEM, WM_VKEYTOITEM, WM_CHARTOITEM,
    // WM_CTLCOLOR*, WM_COMMAND notifications and WM_NOTIFY that the parent received about this
    // control. Answer true with *result when handled (for WM_COMPAREITEM, WM_VKEYTOITEM and
    // WM_CHARTOITEM *result is the answer the control's class reads).
    virtual bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  protected:
    // Called once the object is bound, before the control sees any message through it; a
    // control that needs another style of its window sets it here.
    virtual void OnAttached() {}
    // The control's own messages; the default passes them on to the control's class.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    HWND parent() const { return GetParent(hwnd_); }

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    int id_ = 0;
};

}  // namespace brisalune::win
