// The whole refresh log, as it stood when the window opened.
#pragma once

#include "win/Dialog.h"

namespace brisalune {

class RefreshLog;

class CLogDetailsDlg : public win::Dialog {
  public:
    CLogDetailsDlg(HWND parent, RefreshLog& log);

  protected:
    bool OnInitDialog() override;

  private:
    RefreshLog& log_;
};

}  // namespace brisalune
