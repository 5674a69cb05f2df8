#include "ui/CAdviceDlg.h"

#include "base/Messages.h"
#include "base/Program.h"
#include "base/WideText.h"
#include "engine/HttpClient.h"
#include "resource.h"
#include "ui/ExchangeThread.h"

namespace brisalune {

namespace {

constexpr UINT_PTR kWaitTimer = 12101;
constexpr UINT kWaitPeriodMs = 500;
constexpr int kCommentLimit = 500;

// Runs on the submission's own thread with copies of everything it needs.
void submit(RefreshLog& log, const std::string& url, const std::string& comment,
            const std::string& agent, DWORD uiThread, uint32_t id) {
    HttpClient client(log);
    client.AddField("name", std::string());
    client.AddField("comment", comment);
    client.AddField("agent", agent);
    const std::string answer = client.Post(url);
    // An error page is an answer too; only a successful status says the comment arrived.
    const bool arrived = !answer.empty() && client.status() >= 200 && client.status() < 300;
    postExchangeResult(uiThread, WM_COMMENT_RESULT, arrived, id);
}

}  // namespace

CAdviceDlg::CAdviceDlg(HWND parent, RefreshLog& log, std::string url)
    : Dialog(IDD_ADVICE, parent), log_(log), url_(std::move(url)) {}

bool CAdviceDlg::OnInitDialog() {
    SetDlgItemTextW(hwnd_, IDC_ADVICE_MESSAGE,
                    L"Thanks for using Brisalune. \r\n\r\nIf you have any advice, please feel free "
                    L"to contact us. We are sincerely to solve your problem.");
    SendDlgItemMessageW(hwnd_, IDC_ADVICE_COMMENT, EM_LIMITTEXT, kCommentLimit, 0);
    return true;
}

bool CAdviceDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_ADVICE_SEND && code == BN_CLICKED) {
        send();
        return true;
    }
    if (id == IDC_ADVICE_CANCEL && code == BN_CLICKED) {
        OnCancel();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void CAdviceDlg::send() {
    if (sending()) {
        return;
    }
    HWND box = item(IDC_ADVICE_COMMENT);
    std::wstring typed(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    typed.resize(
        static_cast<size_t>(GetWindowTextW(box, typed.data(), static_cast<int>(typed.size()))));
    EnableWindow(box, FALSE);
    EnableWindow(item(IDC_ADVICE_SEND), FALSE);
    dots_ = 0;
    SetTimer(hwnd_, kWaitTimer, kWaitPeriodMs, nullptr);

    const uint32_t id = nextExchangeId();
    submission_ = id;
    const DWORD uiThread = GetCurrentThreadId();
    RefreshLog& log = log_;
    // UTF-8, whatever the system's code page: any script arrives as typed.
    const bool started =
        startExchangeThread([&log, url = url_, comment = narrow(typed), agent = versionText(true),
                             uiThread, id] { submit(log, url, comment, agent, uiThread, id); });
    if (!started) {
        postExchangeResult(uiThread, WM_COMMENT_RESULT, false, id);
    }
}

void CAdviceDlg::tick() {
    dots_ = (dots_ + 1) % 4;
    std::wstring line = L"\r\n Submit your comment, please wait";
    for (int i = 0; i <= dots_; ++i) {
        line += L" .";
    }
    SetDlgItemTextW(hwnd_, IDC_ADVICE_MESSAGE, line.c_str());
}

bool CAdviceDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_TIMER && wParam == kWaitTimer) {
        tick();
        *result = 0;
        return true;
    }
    return false;
}

bool CAdviceDlg::PreTranslateMessage(MSG& msg) {
    if (msg.hwnd == nullptr && msg.message == WM_COMMENT_RESULT) {
        if (submission_ == 0 || static_cast<uint32_t>(msg.lParam) != submission_) {
            return false;
        }
        finish(msg.wParam == 0);
        return true;
    }
    return Dialog::PreTranslateMessage(msg);
}

void CAdviceDlg::OnCancel() {
    submission_ = 0;
    KillTimer(hwnd_, kWaitTimer);
    Dialog::OnCancel();
}

void CAdviceDlg::finish(bool success) {
    submission_ = 0;
    KillTimer(hwnd_, kWaitTimer);
    EndDialog(IDOK);
    if (success) {
        askUser(
            L"Success! Thanks for your comment!\nWe will improve our product as soon as "
            L"possible!",
            L"Success", MB_OK);
    } else {
        askUser(L"Failure! Please try again later!", L"Failure", MB_OK);
    }
}

}  // namespace brisalune
