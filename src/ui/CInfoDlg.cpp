#include "ui/CInfoDlg.h"

#include "base/WideText.h"
#include "resource.h"

namespace brisalune {

namespace {

const char kSupportAddress[] = "support@norvosoft.com";

// Longer than a window caption: the edit gets the whole text, not the 255-unit caption cut.
void setEditText(HWND edit, const std::string& text) {
    SetWindowTextW(edit, widen(text).c_str());
}

}  // namespace

CInfoDlg::CInfoDlg(HWND parent, std::string caption, std::string body)
    : Dialog(IDD_INFO, parent), caption_(std::move(caption)), body_(std::move(body)) {}

bool CInfoDlg::OnInitDialog() {
    SetWindowTextW(hwnd_, widen(caption_).c_str());
    setEditText(item(IDC_INFO_TEXT), body_);
    // The focus goes to the empty static, so nothing of the text starts selected.
    SetFocus(item(IDC_INFO_FOCUS));
    return false;
}

CAboutDlg::CAboutDlg(HWND parent, std::string text)
    : Dialog(IDD_ABOUTBOX, parent), text_(std::move(text)) {}

bool CAboutDlg::OnInitDialog() {
    SetWindowTextW(hwnd_, L"About");
    setEditText(item(IDC_ABOUT_TEXT), text_);
    SetFocus(item(IDC_ABOUT_WELCOME));
    return false;
}

std::string helpText() {
    const std::string paragraph = "\r\n\r\n";
    return "City Operation " + paragraph +
           "1, Add City: Pop up menu options and select the Add City menu item " + paragraph +
           "2, Select temperature unit: Pop up menu options and select the Settings menu item, "
           "then select temperature unit (\xC2\xB0"
           "F / \xC2\xB0"
           "C) you prefer on settings page (Forecast-->Temperature unit)" +
           paragraph +
           "3, Select Refresh rate: You can set the forecast refreshing rate by performing the "
           "operation: Pop up menu options and select the Settings menu item, then select the "
           "hours value on the settings page (Forecast-->Refresh rate). " +
           paragraph +
           "4, Manually refresh forecast: Pop up menu options and select the Refresh Forecast "
           "menu item. " +
           paragraph + "Widget Operation: " + paragraph +
           "1, Show forecast details: Click the forecast icon on the widget, on the pop up "
           "window, you can view the latest five day forecast of the specific city." +
           paragraph +
           "2, Switch city: Click the city name on the widget, then the widget will show the "
           "forecast of other cities you have added. " +
           paragraph +
           "Tips: If you have any trouble when using Brisalune, please feel free to contact us "
           "(Email: " +
           kSupportAddress + ")." + paragraph +
           "If you want some feature to be added in next version, please send email to us or "
           "leave advice by the menu option Leave a comment. " +
           "\r\n" + "Enjoy!";
}

std::string aboutText(const std::string& version) {
    const std::string paragraph = "\r\n\r\n";
    return "Brisalune is a free software that provides forecast of international cities on your "
           "pc and android phone." +
           paragraph + "Version: " + version + paragraph +
           "Copyright (c) 2026 norvosoft. All rights reserved." + paragraph +
           "City data from GeoNames (www.geonames.org), licensed under CC BY 4.0. Flags from "
           "flag-icons (github.com/lipis/flag-icons), (c) 2013 Panayiotis Lipiridis, MIT "
           "licence." +
           paragraph +
           "Weather data by Open-Meteo.com (open-meteo.com), licensed under CC BY 4.0." +
           paragraph + "Contact: " + kSupportAddress + ", http://www.norvosoft.com";
}

}  // namespace brisalune
