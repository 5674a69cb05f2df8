#include "ui/CSettingsDlg.h"

#include <iterator>
#include <string>

#include "engine/RefreshEngine.h"
#include "model/Records.h"
#include "resource.h"

namespace brisalune {

namespace {

const wchar_t* const kUnits[] = {L"Fahrenheit(\u00b0F)", L"Celsius (\u00b0C)"};
const wchar_t* const kRates[] = {L"manual refresh", L"1 hour",  L"2 hours", L"3 hours",
                                 L"4 hours",        L"5 hours", L"6 hours"};
const wchar_t* const kShareDays[] = {L"1 day", L"3 days", L"5 days"};
const int kShareDayCounts[] = {1, 3, 5};

// Inserted at their positions, so the combo's sort style does not reorder them; an index
// outside the entries selects nothing.
template <size_t N>
void fillCombo(HWND combo, const wchar_t* const (&texts)[N], int selected) {
    for (size_t i = 0; i < N; ++i) {
        SendMessageW(combo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(texts[i]));
    }
    const bool inRange = selected >= 0 && selected < static_cast<int>(N);
    SendMessageW(combo, CB_SETCURSEL,
                 inRange ? static_cast<WPARAM>(selected) : static_cast<WPARAM>(-1), 0);
}

int selectedIndex(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

}  // namespace

CSettingsDlg::CSettingsDlg(HWND parent, RefreshEngine& engine)
    : Dialog(IDD_SETTINGS, parent), engine_(engine) {}

bool CSettingsDlg::OnInitDialog() {
    settings_ = engine_.copySettings();

    SetWindowTextW(item(IDC_UNIT_DESCRIPTION), L"Select temperature unit you prefer to view");
    fillCombo(item(IDC_UNIT), kUnits, decimalValue(settings_.unit));

    SetWindowTextW(item(IDC_REFRESH_RATE_DESCRIPTION), L"Select the rate of refreshing forecast.");
    fillCombo(item(IDC_REFRESH_RATE), kRates, decimalValue(settings_.timeval));

    SetWindowTextW(item(IDC_SHARE_DAYS_DESCRIPTION),
                   L"Select how many days of the forecast you want to share");
    int shareIndex = -1;
    for (size_t i = 0; i < std::size(kShareDayCounts); ++i) {
        if (decimalValue(settings_.days) == kShareDayCounts[i]) {
            shareIndex = static_cast<int>(i);
        }
    }
    fillCombo(item(IDC_SHARE_DAYS), kShareDays, shareIndex);

    SetWindowTextW(item(IDC_START_ON_BOOT_DESCRIPTION), L"Start Brisalune when system boots.");
    CheckDlgButton(hwnd_, IDC_START_ON_BOOT,
                   settings_.startonboot == "1" ? BST_CHECKED : BST_UNCHECKED);

    SetWindowTextW(hwnd_, L"Settings");
    return true;
}

bool CSettingsDlg::OnCommand(WORD id, WORD code, HWND control) {
    // Only a choice from a list counts; text typed into a combo's edit field changes nothing.
    if (code == CBN_SELCHANGE) {
        switch (id) {
            case IDC_UNIT:
                settings_.unit = std::to_string(selectedIndex(control));
                return true;
            case IDC_REFRESH_RATE:
                settings_.timeval = std::to_string(selectedIndex(control));
                return true;
            case IDC_SHARE_DAYS: {
                const int index = selectedIndex(control);
                settings_.days = index >= 0 && index < static_cast<int>(std::size(kShareDayCounts))
                                     ? std::to_string(kShareDayCounts[index])
                                     : std::string();
                return true;
            }
            default:
                break;
        }
    }
    if (code == BN_CLICKED) {
        switch (id) {
            case IDC_START_ON_BOOT:
                settings_.startonboot =
                    IsDlgButtonChecked(hwnd_, IDC_START_ON_BOOT) == BST_CHECKED ? "1" : "0";
                return true;
            case IDC_SETTINGS_OK:
                EndDialog(IDOK);
                return true;
            case IDC_SETTINGS_CANCEL:
                EndDialog(IDCANCEL);
                return true;
            default:
                break;
        }
    }
    return Dialog::OnCommand(id, code, control);
}

}  // namespace brisalune
