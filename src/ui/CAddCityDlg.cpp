#include "ui/CAddCityDlg.h"

#include "base/Messages.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "win/Handles.h"
#include "win/WinText.h"

namespace brisalune {

namespace {

const wchar_t kQueryCaption[] = L"Query";
const char kArrow[] = " -> ";

template <typename Item>
void show(const std::vector<Item>& items, const SearchKeyword& keyword,
          std::vector<std::string>& names, std::vector<const Item*>& shown) {
    names.clear();
    shown = itemsMatching(items, keyword);
    for (const Item* item : shown) {
        names.push_back(item->name);
    }
}

}  // namespace

CAddCityDlg::CAddCityDlg(HWND parent, CityCatalogue& catalogue, RefreshEngine& engine,
                         std::string programDirectory)
    : Dialog(IDD_ADD_CITY, parent),
      catalogue_(catalogue),
      engine_(engine),
      programDirectory_(std::move(programDirectory)),
      list_(addControl<IconListBox>(IDC_CATALOGUE_LIST)),
      keyword_(addControl<HintEdit>(IDC_KEYWORD)) {}

CAddCityDlg::~CAddCityDlg() {
    releaseCountry();
}

bool CAddCityDlg::OnInitDialog() {
    quiet_ = true;
    catalogue_.LoadCountryList();
    setTitle("Add City");
    enterLevel("Country");
    return true;
}

CAddCityDlg::Level CAddCityDlg::level() const {
    if (country_ == nullptr) {
        return Level::Country;
    }
    if (province_ == nullptr) {
        return Level::Province;
    }
    return region_ == nullptr ? Level::Region : Level::City;
}

std::vector<std::string> CAddCityDlg::shownNames() const {
    if (level() != Level::Country) {
        return names_;
    }
    std::vector<std::string> names;
    for (const IconRow& row : countryRows_) {
        names.push_back(row.name);
    }
    return names;
}

size_t CAddCityDlg::shownCount() const {
    switch (level()) {
        case Level::Country:
            return shownCountries_.size();
        case Level::Province:
            return shownProvinces_.size();
        case Level::Region:
            return shownRegions_.size();
        case Level::City:
            return shownCities_.size();
    }
    return 0;
}

void CAddCityDlg::setTitle(const std::string& title) {
    win::setWindowTextUtf8(hwnd_, title);
}

std::string CAddCityDlg::provinceHint() const {
    const auto& provinces = *country_->provinces;
    if (!provinces.empty() && !provinces.front().regions.empty()) {
        return "Region";
    }
    return country_->code == "us" ? "State" : "Province";
}

const std::vector<CatalogueCity>* CAddCityDlg::citySource() const {
    if (province_ != nullptr && !province_->cities.empty()) {
        return &province_->cities;
    }
    if (region_ != nullptr && !region_->cities.empty()) {
        return &region_->cities;
    }
    return nullptr;
}

void CAddCityDlg::enterLevel(const std::string& hint) {
    quiet_ = true;
    keyword_.SetText(std::string());
    keyword_.SetHint(hint);
    quiet_ = false;
    refilter();
}

void CAddCityDlg::refilter() {
    const SearchKeyword keyword = catalogue_.Keyword(keyword_.GetText());
    switch (level()) {
        case Level::Country:
            countryRows_.clear();
            shownCountries_.clear();
            for (CatalogueCountry& country : catalogue_.LoadCountryList()) {
                if (CityCatalogue::Matches(country, keyword)) {
                    countryRows_.push_back(
                        {country.name, FlagImagePath(programDirectory_, country.code)});
                    shownCountries_.push_back(&country);
                }
            }
            list_.SetRows(countryRows_);
            break;
        case Level::Province:
            show(*country_->provinces, keyword, names_, shownProvinces_);
            list_.SetItems(names_);
            break;
        case Level::Region:
            show(province_->regions, keyword, names_, shownRegions_);
            list_.SetItems(names_);
            break;
        case Level::City:
            // A province without any city shows an empty list rather than the level above.
            show(citySource() != nullptr ? *citySource() : placeholder_.cities, keyword, names_,
                 shownCities_);
            list_.SetItems(names_);
            break;
    }
}

void CAddCityDlg::keepTyping() {
    // A level entered from the list is narrowed by typing again; Down leads back into it.
    if (GetFocus() == list_.hwnd()) {
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(keyword_.hwnd()), TRUE);
    }
}

void CAddCityDlg::activate() {
    const int row = list_.selection();
    if (row < 0 || static_cast<size_t>(row) >= shownCount()) {
        return;
    }
    const Level before = level();
    activateRow(static_cast<size_t>(row));
    if (!ended() && level() != before) {
        keepTyping();
    }
}

void CAddCityDlg::activateRow(size_t row) {
    switch (level()) {
        case Level::Country: {
            country_ = shownCountries_[row];
            catalogue_.LoadProvinces(*country_);
            province_ = nullptr;
            region_ = nullptr;
            setTitle(country_->name);
            enterLevel(provinceHint());
            if (country_->provinces->size() == 1) {
                openProvince(country_->provinces->front());
            }
            break;
        }
        case Level::Province:
            openProvince(*shownProvinces_[row]);
            break;
        case Level::Region:
            region_ = shownRegions_[row];
            setTitle(country_->name + kArrow + province_->name + kArrow + region_->name);
            enterLevel("City");
            break;
        case Level::City:
            if (citySource() != nullptr) {
                add(*shownCities_[row]);
            }
            break;
    }
}

void CAddCityDlg::openProvince(const CatalogueProvince& province) {
    province_ = &province;
    region_ = nullptr;
    if (!province.regions.empty()) {
        setTitle(country_->name + kArrow + province.name);
        enterLevel("province");
        return;
    }
    region_ = &placeholder_;
    setTitle(country_->provinces->size() < 2 ? country_->name
                                             : country_->name + kArrow + province.name);
    enterLevel("City");
}

void CAddCityDlg::add(const CatalogueCity& city) {
    if (askUser(utf8ToWide("Add " + city.name + " ?", 256), kQueryCaption, MB_YESNO) != IDYES) {
        return;
    }
    const int count = engine_.cityCount();
    for (int i = 0; i < count; ++i) {
        const std::optional<CityRecord> existing = engine_.cityAt(i);
        if (existing && existing->info.name == city.name && existing->info.param == city.param) {
            askUser(utf8ToWide("The " + city.name + " aready exists!", 256), kQueryCaption, MB_OK);
            return;
        }
    }
    result_ = city.name + "/" + city.param;
    releaseCountry();
    EndDialog(IDOK);
}

void CAddCityDlg::releaseCountry() {
    region_ = nullptr;
    province_ = nullptr;
    shownProvinces_.clear();
    shownRegions_.clear();
    shownCities_.clear();
    if (country_ != nullptr) {
        CityCatalogue::UnloadProvinces(*country_);
        country_ = nullptr;
    }
}

void CAddCityDlg::goBack() {
    switch (level()) {
        case Level::Country:
            EndDialog(IDCANCEL);
            return;
        case Level::City:
            region_ = nullptr;
            if (!province_->regions.empty()) {
                setTitle(country_->name + kArrow + province_->name);
                enterLevel("province");
                return;
            }
            [[fallthrough]];
        case Level::Region:
            province_ = nullptr;
            region_ = nullptr;
            if (country_->provinces->size() >= 2) {
                setTitle(country_->name);
                enterLevel(provinceHint());
                return;
            }
            [[fallthrough]];
        case Level::Province:
            releaseCountry();
            setTitle("Add City");
            enterLevel("Country");
            return;
    }
}

void CAddCityDlg::OnCancel() {
    goBack();
    if (!ended()) {
        keepTyping();
    }
}

void CAddCityDlg::searchReport() {
    const std::string text = keyword_.GetText();
    std::string report;
    if (text.empty()) {
        report = "Please input keyword";
    } else if (shownCount() > 0) {
        report = "Please click item in list view";
    } else {
        report = "Not found the " + text;
    }
    askUser(utf8ToWide(report, 256), L"Brisalune", MB_OK | MB_ICONEXCLAMATION);
}

void CAddCityDlg::showMenu(int x, int y) {
    win::Menu menu(CreatePopupMenu());
    if (!menu) {
        return;
    }
    if (level() == Level::City) {
        AppendMenuW(menu.get(), MF_STRING, IDM_CATALOGUE_ADD, L"Add");
    } else {
        AppendMenuW(menu.get(), MF_STRING, IDM_CATALOGUE_OPEN, L"Open");
    }
    const UINT chosen = trackMenu(menu.get(), x, y, list_.hwnd());
    menu.reset();
    if (chosen == IDM_CATALOGUE_OPEN || chosen == IDM_CATALOGUE_ADD) {
        activate();
    }
}

bool CAddCityDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_KEYWORD && code == EN_UPDATE) {
        if (!quiet_) {
            refilter();
        }
        return true;
    }
    if (id == IDC_SEARCH && code == BN_CLICKED) {
        searchReport();
        return true;
    }
    if (id == IDC_CATALOGUE_LIST && code == LBN_DBLCLK) {
        activate();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

bool CAddCityDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_LISTITEM_MENU) {
        showMenu(static_cast<int>(wParam), static_cast<int>(lParam));
        *result = 0;
        return true;
    }
    return false;
}

bool CAddCityDlg::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && hwnd_ != nullptr && !ended()) {
        // From the keyword box, Down moves into the list onto its first row, so nobody needs
        // the mouse: type, Down, Enter.
        if (msg.wParam == VK_DOWN && msg.hwnd == keyword_.hwnd()) {
            if (list_.count() > 0) {
                SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list_.hwnd()), TRUE);
                list_.Select(0);
            }
            return true;
        }
        if (msg.wParam == VK_RETURN && msg.hwnd != list_.hwnd() && IsChild(hwnd_, msg.hwnd)) {
            return true;
        }
    }
    return Dialog::PreTranslateMessage(msg);
}

}  // namespace brisalune
