#include "ui/CCheckVerDlg.h"

#include <mutex>

#include "base/Messages.h"
#include "engine/HttpClient.h"
#include "resource.h"
#include "ui/CInfoDlg.h"
#include "ui/ExchangeThread.h"

namespace brisalune {

namespace {

constexpr UINT_PTR kWaitTimer = 12100;
constexpr UINT kWaitPeriodMs = 500;
const wchar_t kWaitText[] = L"Check latest version, please wait";
const char kCaption[] = "Check latest version";

}  // namespace

struct CCheckVerDlg::Outcome {
    std::mutex mutex;
    VersionOffer offer;
};

CCheckVerDlg::CCheckVerDlg(HWND parent, RefreshLog& log, std::string url, ProgramVersion running)
    : Dialog(IDD_CHECK_VERSION, parent), log_(log), url_(std::move(url)), running_(running) {}

CCheckVerDlg::~CCheckVerDlg() = default;

bool CCheckVerDlg::OnInitDialog() {
    dots_ = 0;
    SetDlgItemTextW(hwnd_, IDC_CHECK_VERSION_TEXT, kWaitText);
    SetTimer(hwnd_, kWaitTimer, kWaitPeriodMs, nullptr);
    start();
    return true;
}

void CCheckVerDlg::start() {
    const uint32_t id = nextExchangeId();
    check_ = id;
    // Each check has its own outcome: a thread still running for an earlier dialog writes
    // only into its own.
    outcome_ = std::make_shared<Outcome>();
    const DWORD uiThread = GetCurrentThreadId();
    RefreshLog& log = log_;
    const bool started = startExchangeThread(
        [&log, url = url_, running = running_, outcome = outcome_, uiThread, id] {
            HttpClient client(log);
            const VersionOffer offer = readVersionDocument(client.Get(url));
            {
                std::lock_guard<std::mutex> hold(outcome->mutex);
                outcome->offer = offer;
            }
            const bool newer = offer.hasValue && isNewerVersion(offer.value, running);
            postExchangeResult(uiThread, WM_VERSION_RESULT, newer, id);
        });
    if (!started) {
        postExchangeResult(uiThread, WM_VERSION_RESULT, false, id);
    }
}

void CCheckVerDlg::tick() {
    dots_ = (dots_ + 1) % 4;
    std::wstring line = kWaitText;
    for (int i = 0; i <= dots_; ++i) {
        line += L" . ";
    }
    SetDlgItemTextW(hwnd_, IDC_CHECK_VERSION_TEXT, line.c_str());
}

bool CCheckVerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_TIMER && wParam == kWaitTimer) {
        tick();
        *result = 0;
        return true;
    }
    return false;
}

bool CCheckVerDlg::PreTranslateMessage(MSG& msg) {
    if (msg.hwnd == nullptr && msg.message == WM_VERSION_RESULT) {
        if (check_ == 0 || static_cast<uint32_t>(msg.lParam) != check_) {
            return false;
        }
        finish(msg.wParam == 0);
        return true;
    }
    return Dialog::PreTranslateMessage(msg);
}

void CCheckVerDlg::stopWaiting() {
    check_ = 0;
    KillTimer(hwnd_, kWaitTimer);
}

void CCheckVerDlg::OnCancel() {
    stopWaiting();
    Dialog::OnCancel();
}

void CCheckVerDlg::finish(bool newer) {
    VersionOffer offer;
    {
        std::lock_guard<std::mutex> hold(outcome_->mutex);
        offer = outcome_->offer;
    }
    stopWaiting();
    EndDialog(IDOK);
    if (newer) {
        showNews(kCaption, offer.value + " is available\r\n " + offer.news);
    } else {
        askUser(L"No new version available, current version is lastest version.",
                L"Check latest version", MB_OK);
    }
}

void CCheckVerDlg::showNews(const std::string& caption, const std::string& body) {
    CInfoDlg news(parentWindow(), caption, body);
    news.DoModal();
}

}  // namespace brisalune
