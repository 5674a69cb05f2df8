#include "ui/CDelCityDlg.h"

#include "base/Messages.h"
#include "base/Program.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "win/Handles.h"

namespace brisalune {

CDelCityDlg::CDelCityDlg(HWND parent, RefreshEngine& engine)
    : Dialog(IDD_DEL_CITY, parent),
      engine_(engine),
      list_(addControl<TextListBox>(IDC_DEL_CITY_LIST)) {}

bool CDelCityDlg::OnInitDialog() {
    names_.clear();
    cities_.clear();
    const int count = engine_.cityCount();
    for (int i = 0; i < count; ++i) {
        if (std::optional<CityRecord> city = engine_.cityAt(i)) {
            names_.push_back(city->info.name);
            cities_.push_back({i, city->info.name, city->info.param});
        }
    }
    list_.SetItems(names_);
    return true;
}

void CDelCityDlg::remove() {
    const int row = list_.selection();
    if (row < 0 || static_cast<size_t>(row) >= cities_.size()) {
        return;
    }
    const Removal& city = cities_[static_cast<size_t>(row)];
    if (askUser(utf8ToWide("Are you sure to remove " + city.name + "?", 256), L"Query", MB_YESNO) !=
        IDYES) {
        return;
    }
    removal_ = city;
    EndDialog(IDOK);
}

bool CDelCityDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_DEL_CITY_LIST && code == LBN_DBLCLK) {
        remove();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool CDelCityDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_LISTITEM_MENU) {
        return false;
    }
    win::Menu menu(CreatePopupMenu());
    if (menu) {
        AppendMenuW(menu.get(), MF_STRING, IDM_CITY_REMOVE, L"Remove City");
        const UINT chosen =
            trackMenu(menu.get(), static_cast<int>(wParam), static_cast<int>(lParam), list_.hwnd());
        menu.reset();
        if (chosen == IDM_CITY_REMOVE) {
            remove();
        }
    }
    *result = 0;
    return true;
}

}  // namespace brisalune
