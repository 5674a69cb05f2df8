// A caption and a block of text in a scrolling, read-only box: Help, and the news of a newer
// version.
#pragma once

#include <string>

#include "win/Dialog.h"

namespace brisalune {

class CInfoDlg : public win::Dialog {
  public:
    CInfoDlg(HWND parent, std::string caption, std::string body);

  protected:
    bool OnInitDialog() override;

  private:
    std::string caption_;
    std::string body_;
};

// The About box: the program icon, a welcome line and the About text.
class CAboutDlg : public win::Dialog {
  public:
    CAboutDlg(HWND parent, std::string text);

  protected:
    bool OnInitDialog() override;

  private:
    std::string text_;
};

// The texts of the Help and About commands.
std::string helpText();
std::string aboutText(const std::string& version);

}  // namespace brisalune
