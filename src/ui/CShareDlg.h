// Share Forecast: turns a city's forecast into a short mail and hands it to the user's mail
// program. Given a position it shares that city at once and is never seen; given -1 with more
// than one city it lists them, and every double click, Enter or menu choice shares one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "draw/TextListBox.h"
#include "model/ForecastDates.h"
#include "win/Dialog.h"

namespace brisalune {

class RefreshEngine;

class CShareDlg : public win::Dialog {
  public:
    // `productPage` is the address the mail points to. The mail's days start from the first one
    // dated `today()` or later.
    CShareDlg(HWND parent, RefreshEngine& engine, int position, std::string productPage,
              std::function<CalendarDate()> today = localToday);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter shares the selected city; only Cancel closes the list.
    void OnOK() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Seam for tests: the hand-over to the mail program.
    virtual void handOver(const std::wstring& link);

  private:
    void share(int position);
    void shareSelected();

    struct Listed {
        std::string name;
        std::string param;
    };

    RefreshEngine& engine_;
    int position_;
    std::string productPage_;
    std::function<CalendarDate()> today_;
    // Row i shows names_[i], the city listed_[i].
    std::vector<std::string> names_;
    std::vector<Listed> listed_;
    TextListBox& list_;
};

}  // namespace brisalune
