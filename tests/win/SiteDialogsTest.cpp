// The comment and version-check dialogs in-process, with real WinInet against the stand-in
// maker's site and scripted message boxes. A host window stands where the widget stands: it
// offers the thread messages to the open dialogs, the newest first, and keeps what nobody took.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeService.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "base/WideText.h"
#include "engine/HttpText.h"
#include "engine/RefreshLog.h"
#include "resource.h"
#include "ui/CAdviceDlg.h"
#include "ui/CCheckVerDlg.h"
#include "ui/MakerSite.h"
#include "win/WinText.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::FakeService;
using test::pumpUntil;
using Shown = std::vector<std::wstring>;  // "caption: text" of the boxes and news, in order

class Host : public win::Window {
  public:
    bool PreTranslateMessage(MSG& msg) override {
        if (msg.hwnd != nullptr || msg.message < WM_USER) {
            return false;
        }
        for (auto it = open.rbegin(); it != open.rend(); ++it) {
            if ((*it)->PreTranslateMessage(msg)) {
                return true;
            }
        }
        unclaimed.push_back(msg.message);
        return true;
    }

    std::vector<win::Dialog*> open;
    std::vector<UINT> unclaimed;
};

template <typename Base>
class Scripted : public Base {
  public:
    template <typename... More>
    Scripted(Shown& shown, RefreshLog& log, std::string url, More... more)
        : Base(nullptr, log, std::move(url), more...), shown_(shown) {}

  protected:
    int askUser(const std::wstring& text, const std::wstring& caption, UINT) override {
        shown_.push_back(caption + L": " + text);
        return IDOK;
    }
    Shown& shown_;
};

using TestAdvice = Scripted<CAdviceDlg>;

class TestCheck : public Scripted<CCheckVerDlg> {
  public:
    TestCheck(Shown& shown, RefreshLog& log, std::string url)
        : Scripted(shown, log, std::move(url), ProgramVersion{1, 0}) {}

  protected:
    void showNews(const std::string& caption, const std::string& body) override {
        shown_.push_back(L"news " + widen(caption) + L": " + widen(body));
    }
};

const std::wstring kSuccess =
    L"Success: Success! Thanks for your comment!\nWe will improve our product as soon as "
    L"possible!";
const std::wstring kNoNewVersion =
    L"Check latest version: No new version available, current version is lastest version.";

// The texts a control shows on its next changes, the first one included, until there are three.
std::vector<std::string> changes(HWND control) {
    std::vector<std::string> seen{win::windowTextUtf8(control)};
    pumpUntil(
        [&] {
            if (seen.back() != win::windowTextUtf8(control)) {
                seen.push_back(win::windowTextUtf8(control));
            }
            return seen.size() >= 3;
        },
        3s);
    return seen;
}

// Every request to the path answers as `mode` says ("" for normally).
void misbehave(const std::string& path, const std::string& mode) {
    FakeService::control("mode", {{"path", path}, {"mode", mode}});
}

class SiteDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::control("reset");
        win::setMainWindow(&host);
    }
    void TearDown() override {
        win::setMainWindow(nullptr);
        win::pumpWaitingMessages();
    }

    template <typename D>
    D& open(const std::string& url) {
        auto dialog = std::make_unique<D>(shown, log, url);
        D& made = *dialog;
        EXPECT_TRUE(made.Create());
        host.open.push_back(&made);
        dialogs.push_back(std::move(dialog));
        return made;
    }
    TestAdvice& openAdvice() { return open<TestAdvice>(makerSiteUrl(kCommentScriptPath)); }
    TestCheck& openCheck() { return open<TestCheck>(makerSiteUrl(kVersionDocumentPath)); }
    void send(TestAdvice& dialog, const std::wstring& comment) {
        SetDlgItemTextW(dialog.hwnd(), IDC_ADVICE_COMMENT, comment.c_str());
        SendDlgItemMessageW(dialog.hwnd(), IDC_ADVICE_SEND, BM_CLICK, 0, 0);
    }
    bool ends(win::Dialog& dialog) {
        return pumpUntil([&] { return dialog.ended(); }, 10s);
    }
    // The first dialog, whose answer comes after 2.5 s, is cancelled and destroyed while its
    // thread still runs; the second one's answer takes 4 s: the first one's result must
    // reach neither the second dialog nor the user.
    template <typename D>
    void cancelAndExpectTheResultIgnored(D& first, const std::function<D&()> openSecond,
                                         UINT message) {
        SendMessageW(first.hwnd(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(first.result(), IDCANCEL);
        host.open.erase(std::find(host.open.begin(), host.open.end(), &first));
        dialogs.clear();
        D& second = openSecond();
        ASSERT_TRUE(pumpUntil([&] { return host.unclaimed.size() == 1; }, 5s));
        EXPECT_EQ(host.unclaimed[0], message);
        EXPECT_FALSE(second.ended()) << "the second dialog took the first one's result";
        EXPECT_TRUE(shown.empty());
        ASSERT_TRUE(ends(second));
    }

    Host host;
    RefreshLog log;
    Shown shown;
    std::vector<std::unique_ptr<win::Dialog>> dialogs;
};

// What the client answers for each status, redirects and a refused connection is its own test's:
// here only a successful status with an answer counts as arrived.
TEST_F(SiteDialogsTest, TheCommentFormArrivesAsUtf8FieldsInOrderAndOnlyASuccessIsThanked) {
    // How a form field is escaped is the form encoding's own test's.
    const std::string agent = "&agent=" + formEncode(versionText(true));
    const std::wstring failure = L"Failure: Failure! Please try again later!";
    struct Case {
        const char* mode;
        std::wstring comment;  // typed
        std::string sent;
        std::wstring shown;
    } const cases[] = {
        {"", L"", "", kSuccess},
        {"", std::wstring(501, L'x'), std::string(500, 'x'), kSuccess},
        {"", L"Gr\u00fc\u00dfe \u6771\u4eac", "Gr%C3%BC%C3%9Fe+%E6%9D%B1%E4%BA%AC", kSuccess},
        {"html", L"hi", "hi", kSuccess},
        {"status:500", L"hi", "hi", failure},
        {"empty", L"hi", "hi", failure},
    };
    for (const Case& c : cases) {
        misbehave(kCommentScriptPath, c.mode);
        TestAdvice& dialog = openAdvice();
        for (const wchar_t letter : c.comment) {
            SendDlgItemMessageW(dialog.hwnd(), IDC_ADVICE_COMMENT, WM_CHAR, letter, 0);
        }
        SendDlgItemMessageW(dialog.hwnd(), IDC_ADVICE_SEND, BM_CLICK, 0, 0);
        ASSERT_TRUE(ends(dialog)) << c.mode;
        EXPECT_EQ(dialog.result(), IDOK);
        EXPECT_EQ(FakeService::lastPostBody(), "name=&comment=" + c.sent + agent + "&" + '\0');
        EXPECT_EQ(shown, Shown{c.shown}) << c.mode;
        shown.clear();
    }
}

TEST_F(SiteDialogsTest, SendingLocksTheFormAndACancelledResultIsShownNowhere) {
    misbehave(kCommentScriptPath, "stall:2.5/status:500");
    TestAdvice& first = openAdvice();
    send(first, L"first");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(first.hwnd(), IDC_ADVICE_COMMENT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(first.hwnd(), IDC_ADVICE_SEND)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(first.hwnd(), IDC_ADVICE_CANCEL)));
    ASSERT_TRUE(pumpUntil([] { return FakeService::count("path", kCommentScriptPath) == 1; }, 5s));
    misbehave(kCommentScriptPath, "stall:4");
    cancelAndExpectTheResultIgnored<TestAdvice>(
        first,
        [&]() -> TestAdvice& {
            TestAdvice& second = openAdvice();
            send(second, L"second");
            return second;
        },
        WM_COMMENT_RESULT);
    EXPECT_EQ(shown, Shown{kSuccess});
}

// How versions are read and compared is the version document's own test's; a newer one with
// its news, the whole-program test's.
TEST_F(SiteDialogsTest, OnlyANewerVersionIsAnnouncedWithItsNews) {
    struct Case {
        const char* control;  // /_control/version query, or a misbehaviour of the path
        std::wstring shown;
    } const cases[] = {
        {"value=1.10&nonews", L"news Check latest version: 1.10 is available\r\n "},
        {"value=0.9&news=Older", kNoNewVersion},
        {"mode:status:500", kNoNewVersion},
    };
    for (const Case& c : cases) {
        FakeService::control("reset");
        const std::string control = c.control;
        if (control.rfind("mode:", 0) == 0) {
            misbehave(kVersionDocumentPath, control.substr(5));
        } else {
            FakeService::get("/_control/version?" + control);
        }
        TestCheck& dialog = openCheck();
        ASSERT_TRUE(ends(dialog)) << control;
        EXPECT_EQ(dialog.result(), IDOK);
        EXPECT_EQ(shown, Shown{c.shown}) << control;
        shown.clear();
    }
}

TEST_F(SiteDialogsTest, AStalledCheckKeepsTheLineMovingAndItsResultIsShownNowhereAfterCancel) {
    FakeService::get("/_control/version?value=0.5");
    misbehave(kVersionDocumentPath, "stall:2.5");
    const auto opened = std::chrono::steady_clock::now();
    TestCheck& first = openCheck();
    EXPECT_LT(std::chrono::steady_clock::now() - opened, 1s) << "the download held up the window";
    const std::string wait = "Check latest version, please wait";
    EXPECT_EQ(changes(GetDlgItem(first.hwnd(), IDC_CHECK_VERSION_TEXT)),
              (std::vector<std::string>{wait, wait + " .  . ", wait + " .  .  . "}));
    ASSERT_EQ(FakeService::count("path", kVersionDocumentPath), 1);
    FakeService::get("/_control/version?value=3.0&news=Three");
    misbehave(kVersionDocumentPath, "stall:4");
    cancelAndExpectTheResultIgnored<TestCheck>(
        first, [&]() -> TestCheck& { return openCheck(); }, WM_VERSION_RESULT);
    EXPECT_EQ(shown, Shown{L"news Check latest version: 3.0 is available\r\n Three"});
}

}  // namespace
}  // namespace brisalune
