#include "ui/CLogDetailsDlg.h"

#include "base/WideText.h"
#include "engine/RefreshLog.h"
#include "resource.h"

namespace brisalune {

CLogDetailsDlg::CLogDetailsDlg(HWND parent, RefreshLog& log)
    : Dialog(IDD_LOG_DETAILS, parent), log_(log) {}

bool CLogDetailsDlg::OnInitDialog() {
    // The whole text, not a caption-sized piece of it: the log is never cut.
    SetWindowTextW(item(IDC_LOG_TEXT), widen(log_.snapshot()).c_str());
    return true;
}

}  // namespace brisalune
