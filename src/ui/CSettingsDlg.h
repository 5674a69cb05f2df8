// The four settings: temperature unit, refresh rate, days to share and start on boot. The dialog
// edits its own copy of the stored texts; after Ok the widget hands them to the engine, which
// stores and applies what changed.
#pragma once

#include "store/SettingsStore.h"
#include "win/Dialog.h"

namespace brisalune {

class RefreshEngine;

class CSettingsDlg : public win::Dialog {
  public:
    CSettingsDlg(HWND parent, RefreshEngine& engine);

    // The texts as the user left them: copied from the engine at opening, changed only by the
    // controls the user touched, so an unusual stored value passes through untouched.
    const Settings& settings() const { return settings_; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

  private:
    RefreshEngine& engine_;
    Settings settings_;
};

}  // namespace brisalune
