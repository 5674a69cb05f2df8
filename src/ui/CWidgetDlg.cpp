#include "ui/CWidgetDlg.h"

#include <algorithm>

#include "engine/ThreadMessageNotifier.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "ui/CAddCityDlg.h"
#include "ui/CAdviceDlg.h"
#include "ui/CCheckVerDlg.h"
#include "ui/CDelCityDlg.h"
#include "ui/CDetailsDlg.h"
#include "ui/CInfoDlg.h"
#include "ui/CLogDetailsDlg.h"
#include "ui/CSettingsDlg.h"
#include "ui/CShareDlg.h"
#include "ui/MakerSite.h"
#include "win/Dpi.h"

namespace brisalune {

namespace {

const wchar_t kQueryCaption[] = L"Query";
// Menu command ids do not fit a WM_COMMAND's 16 bits, so the first-start request has its own.
const UINT kOpenAddCityAtStart = WM_APP + 1;
// Looks whether the date has changed just after the next local midnight, so the rows move on
// to the new day's forecast even when no refresh comes, and at least once an hour, so a clock
// that moved without a word (a sleep across midnight, a change of summer time) is followed
// within the hour. Between the two the thread sleeps.
const UINT_PTR kNewDayTimer = 1;
const UINT kNewDayLatestMs = 3600000;

UINT msToNextDayCheck() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const UINT sinceMidnight =
        ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
    // A second past midnight, so the clock surely shows the new date.
    const UINT toCheck = 86400000u - std::min(sinceMidnight, 86399999u) + 1000u;
    return std::min(toCheck, kNewDayLatestMs);
}

void appendItem(HMENU menu, UINT id, const wchar_t* label) {
    AppendMenuW(menu, MF_STRING, id, label);
}

}  // namespace

CWidgetDlg::CWidgetDlg(RefreshEngine& engine, std::string programDirectory, std::string commandLine)
    : Dialog(IDD_WIDGET, nullptr),
      engine_(engine),
      programDirectory_(std::move(programDirectory)),
      commandLine_(std::move(commandLine)),
      list_(addControl<CityListBox>(IDC_CITY_LIST)) {
    const int buttonIds[] = {IDC_ADD, IDC_DELETE, IDC_REFRESH, IDC_SETTINGS, IDC_MORE};
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i] = &addControl<ImageButton>(buttonIds[i]);
    }
}

CWidgetDlg::~CWidgetDlg() = default;

win::Dialog* CWidgetDlg::activeDialog() const {
    return activeDialogs_.empty() ? nullptr : activeDialogs_.back();
}

bool CWidgetDlg::OnInitDialog() {
    HMENU systemMenu = GetSystemMenu(hwnd_, FALSE);
    wchar_t about[256] = {};
    if (systemMenu != nullptr &&
        LoadStringW(instance(), IDS_ABOUTBOX, about, static_cast<int>(std::size(about))) > 0) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }

    // Shared icons: the system owns them, nobody destroys them. Each is taken at the size the
    // system asks for at the display's scaling, from the icon's picture nearest to it, so the
    // title bar and the notification area show a sharp picture, not a scaled large one.
    auto loadIcon = [this](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(IDI_BRISALUNE),
                                             IMAGE_ICON, GetSystemMetrics(widthMetric),
                                             GetSystemMetrics(heightMetric), LR_SHARED));
    };
    icon_ = loadIcon(SM_CXICON, SM_CYICON);
    smallIcon_ = loadIcon(SM_CXSMICON, SM_CYSMICON);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    const UINT pictures[][2] = {{IDB_ADD_PNG, IDB_ADD_PNG_2X},
                                {IDB_DELETE_PNG, IDB_DELETE_PNG_2X},
                                {IDB_REFRESH_PNG, IDB_REFRESH_PNG_2X},
                                {IDB_SETTINGS_PNG, IDB_SETTINGS_PNG_2X},
                                {IDB_MORE_PNG, IDB_MORE_PNG_2X}};
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->LoadImageResource(pictures[i][0], pictures[i][1], L"PNG");
    }

    startHidden_ = commandLine_ == "-s";

    // Without a taskbar the widget runs without its icon; the icon comes when the taskbar does.
    tray_.Create(instance(), hwnd_, WM_TRAY_NOTIFY,
                 "Weather forecast for \r\ninternational cities!\r\nWe support PC and Android",
                 smallIcon_, IDR_TRAY_MENU, false, std::string(), std::string(), 0, 10);

    engine_.registerUiThread(static_cast<int64_t>(GetCurrentThreadId()));
    rowsDate_ = today();
    SetTimer(hwnd_, kNewDayTimer, msToNextDayCheck(), nullptr);
    if (BuildRows() != 1 && !startHidden_) {
        // Opened once the widget is up, not from inside its own creation.
        PostMessageW(hwnd_, kOpenAddCityAtStart, 0, 0);
    }
    return true;
}

void CWidgetDlg::OnCreated() {
    // The template shows the window when it is made; a start at log-on goes straight to the
    // tray instead.
    if (startHidden_) {
        HideToTray();
    }
}

void CWidgetDlg::FillRow(CityRow& row, const CityRecord& city, const std::string& tipsText) {
    brisalune::FillRow(row, city, tipsText, engine_.isFahrenheit(), programDirectory_, today());
}

CalendarDate CWidgetDlg::today() const {
    return localToday();
}

void CWidgetDlg::FollowTheDate() {
    const CalendarDate now = today();
    if (now == rowsDate_) {
        return;
    }
    rowsDate_ = now;
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        if (std::optional<CityRecord> city = engine_.cityAt(i)) {
            CityRow& row = *rows_[static_cast<size_t>(i)];
            // A status word of the engine stays; "outdated" is the date's and is worked out anew.
            std::string tips = row.text("tips");
            FillRow(row, *city, tips == "outdated" ? std::string() : tips);
        }
    }
    invalidateList();
}

int CWidgetDlg::BuildRows() {
    rows_.clear();
    const int count = engine_.cityCount();
    if (count < 1) {
        SendMessageW(list_.hwnd(), LB_RESETCONTENT, 0, 0);
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (std::optional<CityRecord> city = engine_.cityAt(i)) {
            auto row = std::make_unique<CityRow>();
            FillRow(*row, *city, std::string());
            rows_.push_back(std::move(row));
        }
    }
    SendMessageW(list_.hwnd(), LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < rows_.size(); ++i) {
        SendMessageW(list_.hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(&rows_));
    }
    invalidateList();
    return 1;
}

void CWidgetDlg::OnJobStatus(const WeatherJob& record) {
    if (record.status == STATUS_SETTINGS_CHANGED) {
        const int count = engine_.cityCount();
        for (int i = 0; i < count && i < static_cast<int>(rows_.size()); ++i) {
            if (std::optional<CityRecord> city = engine_.cityAt(i)) {
                FillRow(*rows_[static_cast<size_t>(i)], *city, std::string());
            }
        }
    } else if (std::optional<CityRecord> city = engine_.cityAt(record.cityIndex);
               city && record.cityIndex < static_cast<int>(rows_.size())) {
        CityRow& row = *rows_[static_cast<size_t>(record.cityIndex)];
        switch (record.status) {
            case STATUS_REFRESHING:
                FillRow(row, *city, "refresh ...");
                break;
            case STATUS_UPDATED:
                FillRow(row, *city, std::string());
                break;
            case STATUS_FAILED:
                FillRow(row, *city, "failure");
                break;
            default:
                break;
        }
    }
    invalidateList();
}

void CWidgetDlg::AddCityFromText(const std::string& text) {
    const size_t slash = text.find('/');
    const std::string name = slash == std::string::npos ? std::string() : text.substr(0, slash);
    const std::string param = slash == std::string::npos ? text : text.substr(slash + 1);
    const int position = engine_.addCity(WeatherJob(-1, name, param, ORIGIN_USER));
    std::optional<CityRecord> city = engine_.cityAt(position);
    if (!city) {
        return;
    }
    auto row = std::make_unique<CityRow>();
    FillRow(*row, *city, "refresh ...");
    rows_.push_back(std::move(row));
    SendMessageW(list_.hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(&rows_));
    invalidateList();
    engine_.refreshCity(position, ORIGIN_USER);
}

void CWidgetDlg::RemoveRow(int position) {
    if (position < 0 || position >= static_cast<int>(rows_.size())) {
        return;
    }
    rows_.erase(rows_.begin() + position);
    engine_.removeCity(position);
    SendMessageW(list_.hwnd(), LB_DELETESTRING, static_cast<WPARAM>(position), 0);
    invalidateList();
}

void CWidgetDlg::ConfirmRemove(int position) {
    std::optional<CityRecord> city = engine_.cityAt(position);
    if (!city) {
        return;
    }
    const std::wstring text = utf8ToWide("Are you sure to remove " + city->info.name + "?", 256);
    if (askUser(text, kQueryCaption, MB_YESNO) != IDYES) {
        return;
    }
    // Tray commands run while the box is open and may have moved or removed cities: the city
    // asked about goes, wherever it stands now.
    const int now = positionOf(city->info.name, city->info.param, position);
    if (now >= 0) {
        RemoveRow(now);
    }
}

int CWidgetDlg::positionOf(const std::string& name, const std::string& param, int hint) const {
    auto isIt = [&](int position) {
        std::optional<CityRecord> city = engine_.cityAt(position);
        return city && city->info.name == name && city->info.param == param;
    };
    if (isIt(hint)) {
        return hint;
    }
    for (int position = 0; position < engine_.cityCount(); ++position) {
        if (isIt(position)) {
            return position;
        }
    }
    return -1;
}

win::Menu CWidgetDlg::buildGeneralMenu() const {
    win::Menu menu(CreatePopupMenu());
    if (!menu) {
        return menu;
    }
    const bool any = listCount() > 0;
    if (any) {
        appendItem(menu.get(), IDM_REFRESH_FORECAST, L"Refresh Forecast");
    }
    appendItem(menu.get(), IDM_ADD_CITY, L"Add City");
    if (any) {
        appendItem(menu.get(), IDM_REMOVE_CITY, L"Remove City");
    }
    appendItem(menu.get(), IDM_SHARE, L"Share");
    appendItem(menu.get(), IDM_SETTINGS, L"Setttings");
    appendItem(menu.get(), IDM_CHECK_VERSION, L"Check latest version");
    appendItem(menu.get(), IDM_LEAVE_COMMENT, L"Leave a comment");
    appendItem(menu.get(), IDM_ABOUT, L"About");
    appendItem(menu.get(), IDM_HELP, L"Help");
    return menu;
}

win::Menu CWidgetDlg::buildCityMenu() const {
    win::Menu menu(CreatePopupMenu());
    if (menu) {
        appendItem(menu.get(), IDM_CITY_VIEW_FORECAST, L"View forecast");
        appendItem(menu.get(), IDM_CITY_REFRESH, L"Refresh");
        appendItem(menu.get(), IDM_CITY_SHARE, L"Share");
        appendItem(menu.get(), IDM_CITY_REMOVE, L"Remove City");
    }
    return menu;
}

win::Menu CWidgetDlg::buildMoreMenu() const {
    win::Menu menu(CreatePopupMenu());
    if (menu) {
        appendItem(menu.get(), IDM_SHARE, L"Share");
        appendItem(menu.get(), IDM_CHECK_VERSION, L"Check latest version");
        appendItem(menu.get(), IDM_LEAVE_COMMENT, L"Leave a comment");
        appendItem(menu.get(), IDM_ABOUT, L"About");
        appendItem(menu.get(), IDM_HELP, L"Help");
    }
    return menu;
}

void CWidgetDlg::endProcess() {
    ExitProcess(0);
}

void CWidgetDlg::ShowContextMenu(int x, int y, bool general) {
    win::Menu menu = general ? buildGeneralMenu() : buildCityMenu();
    if (!menu) {
        return;
    }
    const UINT chosen = trackMenu(menu.get(), x, y, general ? hwnd_ : list_.hwnd());
    menu.reset();
    if (chosen != 0) {
        runCommand(chosen);
    }
}

void CWidgetDlg::ShowMoreMenu() {
    RECT more{};
    GetWindowRect(item(IDC_MORE), &more);
    win::Menu menu = buildMoreMenu();
    if (!menu) {
        return;
    }
    const UINT chosen =
        trackMenu(menu.get(), more.left - win::dpiScaled(10), more.top - win::dpiScaled(90), hwnd_);
    menu.reset();
    if (chosen == IDM_SHARE) {
        openShare(-1);
    } else if (chosen != 0) {
        runCommand(chosen);
    }
}

void CWidgetDlg::ConfirmExit() {
    if (askUser(L"Exit Brisalune?", L"Brisalune", MB_YESNO) != IDYES) {
        return;
    }
    tray_.RemoveIcon();
    EndDialog(IDOK);
    // The process ends at once: what the worker brought in must be on disk first.
    engine_.flush();
    endProcess();
}

INT_PTR CWidgetDlg::RunChildDialog(win::Dialog& dialog) {
    activeDialogs_.push_back(&dialog);
    const INT_PTR result = dialog.DoModal();
    activeDialogs_.pop_back();
    return result;
}

void CWidgetDlg::HideToTray() {
    tray_.HideToTray(hwnd_);
}

void CWidgetDlg::RestoreFromTray() {
    tray_.RestoreFromTray(hwnd_);
}

void CWidgetDlg::wakeUp() {
    SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
    HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread =
        foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const DWORD self = GetCurrentThreadId();
    const bool attach = foregroundThread != 0 && foregroundThread != self;
    if (attach) {
        AttachThreadInput(foregroundThread, self, TRUE);
    }
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    if (attach) {
        AttachThreadInput(foregroundThread, self, FALSE);
    }
}

bool CWidgetDlg::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_WAKEUP) {
        if (!IsWindowVisible(hwnd_)) {
            RestoreFromTray();
            return true;
        }
        wakeUp();
        // On to the hand-over below, as any private message.
    } else if (msg.message == WM_JOB_STATUS) {
        // Only a wake-up, whoever sent it: the records wait with the notifier.
        for (const std::unique_ptr<WeatherJob>& record : takeStatusRecords()) {
            OnJobStatus(*record);
        }
        return true;
    }
    if (msg.message >= WM_USER) {
        return offerToDialogs(msg);
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        HideToTray();
        return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        return true;
    }
    return Dialog::PreTranslateMessage(msg);
}

bool CWidgetDlg::offerToDialogs(MSG& msg) {
    // Every open dialog, topmost first, until one takes it: a dialog under an About box opened
    // from the tray still gets its result. The stack is copied, as a handler may open another.
    // The message's target and the windows above it have had it on the way here already.
    const std::vector<win::Dialog*> stack = activeDialogs_;
    for (auto dialog = stack.rbegin(); dialog != stack.rend(); ++dialog) {
        bool offered = false;
        for (HWND hwnd = msg.hwnd; hwnd != nullptr && !offered; hwnd = GetParent(hwnd)) {
            offered = hwnd == (*dialog)->hwnd();
        }
        if (!offered && (*dialog)->PreTranslateMessage(msg)) {
            return true;
        }
    }
    return false;
}

bool CWidgetDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (control != nullptr && control == list_.hwnd()) {
        if (code == LBN_DBLCLK) {
            openDetails(selection());
            return true;
        }
        return false;
    }
    if (control != nullptr && code == BN_CLICKED) {
        switch (id) {
            case IDC_ADD:
                openAddCity();
                return true;
            case IDC_DELETE:
                if (listCount() > 0) {
                    openRemoveCity();
                }
                return true;
            case IDC_REFRESH:
                engine_.refreshAll(ORIGIN_USER);
                return true;
            case IDC_SETTINGS:
                openSettings();
                return true;
            case IDC_MORE:
                ShowMoreMenu();
                return true;
            default:
                return false;
        }
    }
    return runCommand(id);
}

bool CWidgetDlg::runCommand(UINT id) {
    switch (id) {
        case IDM_REFRESH_FORECAST:
        case ID_TRAY_REFRESH:
            engine_.refreshAll(ORIGIN_USER);
            return true;
        case IDM_ADD_CITY:
        case ID_TRAY_ADD_CITY:
            openAddCity();
            return true;
        case IDM_REMOVE_CITY:
        case ID_TRAY_REMOVE_CITY:
            if (listCount() > 0) {
                openRemoveCity();
            }
            return true;
        case IDM_SHARE:
            openShare(selection());
            return true;
        case ID_TRAY_SHARE:
            openShare(0);
            return true;
        case IDM_SETTINGS:
        case ID_TRAY_SETTINGS:
            openSettings();
            return true;
        case IDM_CHECK_VERSION:
        case ID_TRAY_CHECK_VERSION:
            openVersionCheck();
            return true;
        case IDM_LEAVE_COMMENT:
        case ID_TRAY_LEAVE_COMMENT:
            openComment();
            return true;
        case IDM_ABOUT:
        case ID_TRAY_ABOUT:
            openAbout();
            return true;
        case IDM_HELP:
        case ID_TRAY_HELP:
            openHelp();
            return true;
        case IDM_CITY_VIEW_FORECAST:
            openDetails(selection());
            return true;
        case IDM_CITY_REFRESH:
            if (selection() < 0) {
                engine_.refreshAll(ORIGIN_USER);
            } else {
                engine_.refreshCity(selection(), ORIGIN_USER);
            }
            return true;
        case IDM_CITY_SHARE:
            openShare(selection());
            return true;
        case IDM_CITY_REMOVE:
            ConfirmRemove(selection());
            return true;
        case ID_TRAY_MINIMIZE:
            HideToTray();
            return true;
        case ID_TRAY_MAXIMIZE:
            RestoreFromTray();
            return true;
        case ID_TRAY_EXIT:
            ConfirmExit();
            return true;
        case ID_LOG_DETAILS:
            openLogDetails();
            return true;
        default:
            return false;
    }
}

bool CWidgetDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                openAbout();
                *result = 0;
                return true;
            }
            return false;
        case WM_PAINT:
            if (IsIconic(hwnd_)) {
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(hwnd_, &paint);
                SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
                RECT client;
                GetClientRect(hwnd_, &client);
                const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
                const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
                DrawIcon(dc, x, y, icon_);
                EndPaint(hwnd_, &paint);
                *result = 0;
                return true;
            }
            return false;
        case WM_QUERYDRAGICON:
            *result = reinterpret_cast<LRESULT>(icon_);
            return true;
        case WM_RBUTTONUP: {
            RECT window;
            GetWindowRect(hwnd_, &window);
            ShowContextMenu(window.left + static_cast<short>(LOWORD(lParam)),
                            window.top + static_cast<short>(HIWORD(lParam)), true);
            *result = 0;
            return true;
        }
        case WM_CLOSE:
            HideToTray();
            *result = 0;
            return true;
        case WM_TIMER:
            if (wParam != kNewDayTimer) {
                return false;
            }
            FollowTheDate();
            SetTimer(hwnd_, kNewDayTimer, msToNextDayCheck(), nullptr);
            *result = 0;
            return true;
        case WM_TIMECHANGE:
            FollowTheDate();
            SetTimer(hwnd_, kNewDayTimer, msToNextDayCheck(), nullptr);
            *result = 0;
            return true;
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            // Log-off and shut-down end the process without a word once these are answered.
            engine_.flush();
            *result = message == WM_QUERYENDSESSION ? TRUE : 0;
            return true;
        default:
            break;
    }
    if (message == WM_TRAY_NOTIFY) {
        *result = tray_.OnNotify(wParam, lParam);
        return true;
    }
    if (message == kOpenAddCityAtStart) {
        openAddCity();
        *result = 0;
        return true;
    }
    if (message == WM_LISTITEM_MENU) {
        ShowContextMenu(static_cast<int>(wParam), static_cast<int>(lParam), selection() < 0);
        *result = 0;
        return true;
    }
    return false;
}

int CWidgetDlg::selection() const {
    return static_cast<int>(SendMessageW(list_.hwnd(), LB_GETCURSEL, 0, 0));
}

int CWidgetDlg::listCount() const {
    const LRESULT count = SendMessageW(list_.hwnd(), LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

void CWidgetDlg::invalidateList() {
    InvalidateRect(list_.hwnd(), nullptr, FALSE);
}

void CWidgetDlg::openAbout() {
    CAboutDlg about(hwnd_, aboutText(versionText(false)));
    RunChildDialog(about);
}

void CWidgetDlg::openHelp() {
    CInfoDlg help(hwnd_, "Help", helpText());
    RunChildDialog(help);
}

void CWidgetDlg::openShare(int position) {
    CShareDlg share(hwnd_, engine_, position, makerSiteUrl(kProductPagePath),
                    [this] { return today(); });
    RunChildDialog(share);
}

void CWidgetDlg::openComment() {
    CAdviceDlg comment(hwnd_, engine_.log(), makerSiteUrl(kCommentScriptPath));
    RunChildDialog(comment);
}

void CWidgetDlg::openVersionCheck() {
    ProgramVersion running;
    parseVersion(versionText(false), running);
    CCheckVerDlg check(hwnd_, engine_.log(), makerSiteUrl(kVersionDocumentPath), running);
    RunChildDialog(check);
}

void CWidgetDlg::openAddCity() {
    if (addCity_ != nullptr) {
        SetForegroundWindow(addCity_->hwnd());
        return;
    }
    CAddCityDlg dialog(hwnd_, catalogue_, engine_, programDirectory_);
    addCity_ = &dialog;
    const INT_PTR result = RunChildDialog(dialog);
    addCity_ = nullptr;
    if (result == IDOK) {
        AddCityFromText(dialog.GetSelectedCity());
    }
}

void CWidgetDlg::openRemoveCity() {
    CDelCityDlg dialog(hwnd_, engine_);
    if (RunChildDialog(dialog) != IDOK || !dialog.removal()) {
        return;
    }
    // The list may have changed under the open dialog: remove the city the user confirmed or
    // nothing, never the one that moved into its place.
    const CDelCityDlg::Removal& city = *dialog.removal();
    const int position = positionOf(city.name, city.param, city.position);
    if (position >= 0) {
        RemoveRow(position);
    }
}

void CWidgetDlg::openSettings() {
    CSettingsDlg dialog(hwnd_, engine_);
    if (RunChildDialog(dialog) == IDOK) {
        // The engine stores and applies only what changed: the rows follow a new unit through
        // its status message, a new rate re-arms the refresh timer.
        engine_.applySettings(dialog.settings());
    }
}

void CWidgetDlg::openDetails(int position) {
    CDetailsDlg dialog(hwnd_, engine_, programDirectory_, position, [this] { return today(); });
    RunChildDialog(dialog);
}

void CWidgetDlg::openLogDetails() {
    CLogDetailsDlg dialog(hwnd_, engine_.log());
    RunChildDialog(dialog);
}

}  // namespace brisalune
