#include "ui/CShareDlg.h"

#include <shellapi.h>

#include "base/Messages.h"
#include "base/WideText.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "ui/ShareMail.h"
#include "win/Handles.h"

namespace brisalune {

CShareDlg::CShareDlg(HWND parent, RefreshEngine& engine, int position, std::string productPage,
                     std::function<CalendarDate()> today)
    : Dialog(IDD_SHARE, parent),
      engine_(engine),
      position_(position),
      productPage_(std::move(productPage)),
      today_(std::move(today)),
      list_(addControl<TextListBox>(IDC_SHARE_LIST)) {}

bool CShareDlg::OnInitDialog() {
    const int count = engine_.cityCount();
    if (count > 1 && position_ == -1) {
        for (int i = 0; i < count; ++i) {
            if (std::optional<CityRecord> city = engine_.cityAt(i)) {
                names_.push_back(city->info.name);
                listed_.push_back(Listed{city->info.name, city->info.param});
            }
        }
        list_.SetItems(names_);
        return true;
    }
    share(count > 1 ? position_ : 0);
    EndDialog(IDOK);
    return true;
}

void CShareDlg::share(int position) {
    std::optional<CityRecord> city = engine_.cityAt(position);
    // Days gone by are no forecast: a city with nothing else shares the general text.
    if (city) {
        city = shownOn(*city, today_());
    }
    const std::string link = shareLink(city ? &*city : nullptr, engine_.shareDays(),
                                       engine_.isFahrenheit(), productPage_);
    handOver(widen(link));
}

void CShareDlg::shareSelected() {
    const int row = list_.selection();
    if (row < 0 || row >= static_cast<int>(listed_.size())) {
        share(-1);
        return;
    }
    // The list may have changed under the open dialog (a city removed from the tray): the
    // city the user picked is found again by name and parameter, never by its old place.
    const Listed& picked = listed_[static_cast<size_t>(row)];
    const int count = engine_.cityCount();
    for (int i = 0; i < count; ++i) {
        const std::optional<CityRecord> city = engine_.cityAt(i);
        if (city && city->info.name == picked.name && city->info.param == picked.param) {
            share(i);
            return;
        }
    }
    share(-1);
}

bool CShareDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_SHARE_LIST && code == LBN_DBLCLK) {
        shareSelected();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void CShareDlg::OnOK() {
    if (list_.selection() >= 0) {
        shareSelected();
    }
}

bool CShareDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_LISTITEM_MENU) {
        return false;
    }
    win::Menu menu(CreatePopupMenu());
    if (menu) {
        AppendMenuW(menu.get(), MF_STRING, IDM_CITY_SHARE, L"Share");
        const UINT chosen =
            trackMenu(menu.get(), static_cast<int>(wParam), static_cast<int>(lParam), list_.hwnd());
        menu.reset();
        if (chosen == IDM_CITY_SHARE) {
            shareSelected();
        }
    }
    *result = 0;
    return true;
}

void CShareDlg::handOver(const std::wstring& link) {
    // The mail program reports its own troubles; nothing here waits for it.
    ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace brisalune
