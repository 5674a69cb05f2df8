// The Add City dialog: the user walks country -> province -> (region) -> city through the
// built-in catalogue in one list, narrowing each level with the keyword box, and confirms a
// city that is not in the list yet. The dialog adds nothing itself: after OK the widget reads
// GetSelectedCity ("name/param") and adds the city.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "draw/HintEdit.h"
#include "draw/IconListBox.h"
#include "store/CityCatalogue.h"
#include "win/Dialog.h"

namespace brisalune {

class RefreshEngine;

class CAddCityDlg : public win::Dialog {
  public:
    enum class Level { Country, Province, Region, City };

    // The catalogue outlives the dialog: its country list is read once per process. The
    // engine's cities are read for the duplicate check; the program directory holds img/.
    CAddCityDlg(HWND parent, CityCatalogue& catalogue, RefreshEngine& engine,
                std::string programDirectory);
    ~CAddCityDlg() override;

    // The accepted city's name, "/" and its parameter; empty until a city is accepted.
    const std::string& GetSelectedCity() const { return result_; }

    Level level() const;
    // What the list shows now, in its order.
    std::vector<std::string> shownNames() const;
    IconListBox& list() { return list_; }
    HintEdit& keyword() { return keyword_; }
    const CatalogueCountry* openCountry() const { return country_; }

    bool PreTranslateMessage(MSG& msg) override;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter outside the list does nothing.
    void OnOK() override {}
    // Escape and the close box go back one level; at the country level they end the dialog.
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  private:
    void refilter();
    // Empties the keyword box, sets the level's hint and lists the whole level.
    void enterLevel(const std::string& hint);
    void setTitle(const std::string& title);
    std::string provinceHint() const;
    const std::vector<CatalogueCity>* citySource() const;
    void activate();
    void activateRow(size_t row);
    void keepTyping();
    void openProvince(const CatalogueProvince& province);
    void add(const CatalogueCity& city);
    void goBack();
    void releaseCountry();
    void searchReport();
    void showMenu(int x, int y);
    size_t shownCount() const;

    CityCatalogue& catalogue_;
    RefreshEngine& engine_;
    std::string programDirectory_;
    IconListBox& list_;
    HintEdit& keyword_;
    // Programmatic changes of the keyword box refilter once, at their end.
    bool quiet_ = true;

    CatalogueCountry* country_ = nullptr;
    const CatalogueProvince* province_ = nullptr;
    // A real region, the placeholder for a province without regions, or none.
    const CatalogueRegion* region_ = nullptr;
    CatalogueRegion placeholder_;

    // What the list is bound to: flag rows at the country level, names below it, and beside
    // them the entries they stand for, row by row.
    IconRows countryRows_;
    std::vector<std::string> names_;
    std::vector<CatalogueCountry*> shownCountries_;
    std::vector<const CatalogueProvince*> shownProvinces_;
    std::vector<const CatalogueRegion*> shownRegions_;
    std::vector<const CatalogueCity*> shownCities_;

    std::string result_;
};

}  // namespace brisalune
