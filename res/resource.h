// Identifiers shared by Brisalune.rc and the C++ code. Plain #defines only, so that both the
// resource compiler and the C++ compiler can read this file.
#ifndef BRISALUNE_RES_RESOURCE_H
#define BRISALUNE_RES_RESOURCE_H

// Menus and strings
#define IDR_TRAY_MENU 1  // also the tray icon's identifier
#define IDS_ABOUTBOX 101

// Dialogs (there is no 107)
#define IDD_WIDGET 102
#define IDD_ADVICE 103
#define IDD_CHECK_VERSION 104
#define IDD_SHARE 105
#define IDD_LOG_DETAILS 106
#define IDD_ADD_CITY 108
#define IDD_DEL_CITY 109
#define IDD_SETTINGS 110
#define IDD_DETAILS 111
#define IDD_INFO 112
#define IDD_ABOUTBOX 143

// Icon and the button pictures (resource type "PNG")
#define IDI_BRISALUNE 128
#define IDB_ADD_PNG 138
#define IDB_SETTINGS_PNG 139
#define IDB_DELETE_PNG 140
#define IDB_MORE_PNG 141
#define IDB_REFRESH_PNG 142
// The same pictures at twice the size, for displays above 96 DPI
#define IDB_ADD_PNG_2X 238
#define IDB_SETTINGS_PNG_2X 239
#define IDB_DELETE_PNG_2X 240
#define IDB_MORE_PNG_2X 241
#define IDB_REFRESH_PNG_2X 242

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Widget (IDD_WIDGET)
#define IDC_CITY_LIST 1007
#define IDC_ADD 1020
#define IDC_DELETE 1021
#define IDC_REFRESH 1022
#define IDC_SETTINGS 1023
#define IDC_MORE 1024

// About box (IDD_ABOUTBOX)
#define IDC_ABOUT_WELCOME 1021
#define IDC_ABOUT_TEXT 1008

// Leave-a-comment dialog (IDD_ADVICE)
#define IDC_ADVICE_MESSAGE 1001
#define IDC_ADVICE_COMMENT 1002
#define IDC_ADVICE_CANCEL 1003
#define IDC_ADVICE_SEND 1004

// Version-check wait dialog (IDD_CHECK_VERSION)
#define IDC_CHECK_VERSION_TEXT 1001

// Share dialog (IDD_SHARE)
#define IDC_SHARE_LIST 1023

// Log details (IDD_LOG_DETAILS)
#define IDC_LOG_TEXT 1002

// Add City dialog (IDD_ADD_CITY)
#define IDC_KEYWORD 1004
#define IDC_SEARCH 1005
#define IDC_CATALOGUE_LIST 1006

// Remove City dialog (IDD_DEL_CITY)
#define IDC_DEL_CITY_LIST 1001

// Settings dialog (IDD_SETTINGS)
#define IDC_UNIT 1010
#define IDC_REFRESH_RATE 1011
#define IDC_SHARE_DAYS 1012
#define IDC_UNIT_DESCRIPTION 1013
#define IDC_REFRESH_RATE_DESCRIPTION 1014
#define IDC_SHARE_DAYS_DESCRIPTION 1015
#define IDC_SETTINGS_OK 1016
#define IDC_SETTINGS_CANCEL 1017
#define IDC_START_ON_BOOT 1018
#define IDC_START_ON_BOOT_DESCRIPTION 1019

// Info dialog (IDD_INFO): the edit and the empty static that takes the focus so that nothing
// in the edit is selected
#define IDC_INFO_TEXT 1008
#define IDC_INFO_FOCUS 1009

// System menu
#define IDM_ABOUTBOX 0x0010

// The widget's own pop-up menus (general, city and More menu), built at run time
#define IDM_ADD_CITY 211000
#define IDM_REMOVE_CITY 211001
#define IDM_SETTINGS 211002
#define IDM_ABOUT 211003
#define IDM_HELP 211004
#define IDM_SHARE 211007
#define IDM_LEAVE_COMMENT 211008
#define IDM_CHECK_VERSION 211009
#define IDM_REFRESH_FORECAST 211010
#define IDM_CITY_REFRESH 211021
#define IDM_CITY_SHARE 211022
#define IDM_CITY_REMOVE 211023
#define IDM_CITY_VIEW_FORECAST 211024

// The Add City dialog's list menu
#define IDM_CATALOGUE_OPEN 1000
#define IDM_CATALOGUE_ADD 1001

// Tray menu (IDR_TRAY_MENU) commands
#define ID_TRAY_ADD_CITY 32772
#define ID_TRAY_REMOVE_CITY 32773
#define ID_TRAY_REFRESH 32774
#define ID_TRAY_HELP 32778
#define ID_TRAY_ABOUT 32779
#define ID_TRAY_SHARE 32780
#define ID_TRAY_SETTINGS 32781
#define ID_TRAY_MINIMIZE 32783
#define ID_TRAY_MAXIMIZE 32784
#define ID_TRAY_EXIT 32786
#define ID_TRAY_CHECK_VERSION 32788
#define ID_TRAY_LEAVE_COMMENT 32790
// Reaches the widget as a WM_COMMAND although no menu item carries it
#define ID_LOG_DETAILS 32792

#endif  // BRISALUNE_RES_RESOURCE_H
