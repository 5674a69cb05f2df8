// Check latest version: a small wait dialog with an animated line while a thread of its own
// fetches the maker's version document; the result closes it and shows either the news of a
// newer version or that the running one is the latest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/VersionDocument.h"
#include "win/Dialog.h"

namespace brisalune {

class RefreshLog;

class CCheckVerDlg : public win::Dialog {
  public:
    // `url` is the version document's address, `running` the program's own version; a read
    // that breaks off is reported in `log`, which must outlive every check.
    CCheckVerDlg(HWND parent, RefreshLog& log, std::string url, ProgramVersion running);
    ~CCheckVerDlg() override;

    // Takes WM_VERSION_RESULT of this dialog's own check and no other.
    bool PreTranslateMessage(MSG& msg) override;

    bool checking() const { return check_ != 0; }

  protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Seam for tests: the news of a newer version, in an info dialog.
    virtual void showNews(const std::string& caption, const std::string& body);

  private:
    // What the check thread hands over: written by it before it posts its result, read by the
    // dialog after the result has arrived.
    struct Outcome;

    void start();
    void tick();
    void finish(bool newer);
    void stopWaiting();

    RefreshLog& log_;
    std::string url_;
    ProgramVersion running_;
    uint32_t check_ = 0;
    std::shared_ptr<Outcome> outcome_;
    int dots_ = 0;
};

}  // namespace brisalune
