// Leave a comment: the user types a short comment and sends it; a thread of its own posts it to
// the maker's comment script while the dialog shows an animated wait line, and the result
// closes the dialog and tells the user whether the comment arrived.
#pragma once

#include <cstdint>
#include <string>

#include "win/Dialog.h"

namespace brisalune {

class RefreshLog;

class CAdviceDlg : public win::Dialog {
  public:
    // `url` is the comment script's address; a read that breaks off is reported in `log`,
    // which must outlive every submission (the engine's log does).
    CAdviceDlg(HWND parent, RefreshLog& log, std::string url);

    // Takes WM_COMMENT_RESULT of this dialog's own submission and no other.
    bool PreTranslateMessage(MSG& msg) override;

    bool sending() const { return submission_ != 0; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter in the comment box must not close the dialog and lose what was typed.
    void OnOK() override {}
    // A result that arrives after Cancel is nobody's: it shows nothing.
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  private:
    void send();
    void tick();
    void finish(bool success);

    RefreshLog& log_;
    std::string url_;
    uint32_t submission_ = 0;
    int dots_ = 0;
};

}  // namespace brisalune
