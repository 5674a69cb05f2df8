// The comment and version-check dialogs in-process, with real WinInet against the stand-in
// maker's site and scripted message boxes. A host window stands where the widget stands: it
// offers the thread messages to the open dialogs, the newest first, and keeps what nobody took.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "FakeService.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "base/WideText.h"
#include "engine/RefreshLog.h"
#include "resource.h"
#include "ui/CAdviceDlg.h"
#include "ui/CCheckVerDlg.h"
#include "ui/MakerSite.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using test::FakeService;
using test::pumpUntil;
using Clock = std::chrono::steady_clock;

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

// What the user was shown, in order: "caption: text" of boxes and news.
using Shown = std::vector<std::wstring>;

class TestAdvice : public CAdviceDlg {
  public:
    TestAdvice(Shown& shown, RefreshLog& log, std::string url)
        : CAdviceDlg(nullptr, log, std::move(url)), shown_(shown) {}

  protected:
    int askUser(const std::wstring& text, const std::wstring& caption, UINT) override {
        shown_.push_back(caption + L": " + text);
        return IDOK;
    }

  private:
    Shown& shown_;
};

class TestCheck : public CCheckVerDlg {
  public:
    TestCheck(Shown& shown, RefreshLog& log, std::string url)
        : CCheckVerDlg(nullptr, log, std::move(url), ProgramVersion{1, 0}), shown_(shown) {}

  protected:
    int askUser(const std::wstring& text, const std::wstring& caption, UINT) override {
        shown_.push_back(caption + L": " + text);
        return IDOK;
    }
    void showNews(const std::string& caption, const std::string& body) override {
        shown_.push_back(L"news " + widen(caption) + L": " + widen(body));
    }

  private:
    Shown& shown_;
};

const std::wstring kSuccess =
    L"Success: Success! Thanks for your comment!\nWe will improve our product as soon as "
    L"possible!";
const std::wstring kFailure = L"Failure: Failure! Please try again later!";
const std::wstring kNoNewVersion =
    L"Check latest version: No new version available, current version is lastest version.";

std::wstring text(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

class SiteDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(FakeService::baseUrl().empty())
            << "run through tools/with-fake-service.sh, which starts the stand-in";
        FakeService::reset();
        win::setMainWindow(&host);
    }
    void TearDown() override {
        // Every thread started here has reported before the log it writes to goes.
        pumpUntil([&] { return running() == 0; }, 15s);
        EXPECT_EQ(running(), 0) << "an exchange thread never reported";
        win::setMainWindow(nullptr);
        win::pumpWaitingMessages();
    }

    int running() {
        int count = 0;
        for (auto& dialog : advices) {
            count += dialog->sending() ? 1 : 0;
        }
        for (auto& dialog : checks) {
            count += dialog->checking() ? 1 : 0;
        }
        return count + expectedStray - static_cast<int>(host.unclaimed.size());
    }

    TestAdvice& openAdvice(const std::string& url = makerSiteUrl(kCommentScriptPath)) {
        advices.push_back(std::make_unique<TestAdvice>(shown, log, url));
        EXPECT_TRUE(advices.back()->Create());
        host.open.push_back(advices.back().get());
        return *advices.back();
    }
    TestCheck& openCheck() {
        checks.push_back(
            std::make_unique<TestCheck>(shown, log, makerSiteUrl(kVersionDocumentPath)));
        EXPECT_TRUE(checks.back()->Create());
        host.open.push_back(checks.back().get());
        return *checks.back();
    }
    void cancel(win::Dialog& dialog) {
        SendMessageW(dialog.hwnd(), WM_COMMAND, IDCANCEL, 0);
        host.open.erase(std::find(host.open.begin(), host.open.end(), &dialog));
        ++expectedStray;
    }
    void send(TestAdvice& dialog, const std::wstring& comment) {
        SetDlgItemTextW(dialog.hwnd(), IDC_ADVICE_COMMENT, comment.c_str());
        SendDlgItemMessageW(dialog.hwnd(), IDC_ADVICE_SEND, BM_CLICK, 0, 0);
    }
    bool ends(win::Dialog& dialog, std::chrono::milliseconds bound = 10s) {
        return pumpUntil([&] { return dialog.ended(); }, bound);
    }

    Host host;
    RefreshLog log;
    Shown shown;
    int expectedStray = 0;
    std::vector<std::unique_ptr<TestAdvice>> advices;
    std::vector<std::unique_ptr<TestCheck>> checks;
};

TEST_F(SiteDialogsTest, TheCommentFormArrivesAsUtf8FieldsInOrder) {
    const std::string agent = "&agent=" + [] {
        std::string encoded;
        for (const char c : versionText(true)) {
            encoded += c == ' '   ? "+"
                       : c == '/' ? "%2F"
                       : c == '(' ? "%28"
                       : c == ')' ? "%29"
                                  : std::string(1, c);
        }
        return encoded;
    }() + "&";
    struct Case {
        std::wstring comment;
        std::string sent;
    } const cases[] = {
        {L"", ""},
        {std::wstring(500, L'x'), std::string(500, 'x')},
        {L"a&b=c d", "a%26b%3Dc+d"},
        {L"Gr\u00fc\u00dfe \u6771\u4eac", "Gr%C3%BC%C3%9Fe+%E6%9D%B1%E4%BA%AC"},
    };
    for (const Case& c : cases) {
        TestAdvice& dialog = openAdvice();
        send(dialog, c.comment);
        ASSERT_TRUE(ends(dialog));
        EXPECT_EQ(dialog.result(), IDOK);
        EXPECT_EQ(FakeService::lastPostBody(), "name=&comment=" + c.sent + agent + '\0');
        EXPECT_EQ(shown, Shown{kSuccess});
        shown.clear();
    }
    EXPECT_TRUE(versionText(true).rfind("brisalune ", 0) == 0) << versionText(true);
}

TEST_F(SiteDialogsTest, TypingStopsAtFiveHundredCharacters) {
    TestAdvice& dialog = openAdvice();
    HWND box = GetDlgItem(dialog.hwnd(), IDC_ADVICE_COMMENT);
    for (int i = 0; i < 501; ++i) {
        SendMessageW(box, WM_CHAR, L'a', 0);
    }
    EXPECT_EQ(GetWindowTextLengthW(box), 500);
    cancel(dialog);
    expectedStray = 0;  // nothing was sent
}

TEST_F(SiteDialogsTest, OnlyASuccessfulStatusWithAnAnswerCountsAsArrived) {
    const std::string closed =
        "http://127.0.0.1:" + std::to_string(FakeService::closedPort()) + kCommentScriptPath;
    struct Case {
        const char* mode;
        std::string url;
        std::wstring outcome;
    } const cases[] = {
        {"html", makerSiteUrl(kCommentScriptPath), kSuccess},
        {"status:500", makerSiteUrl(kCommentScriptPath), kFailure},
        {"status:404", makerSiteUrl(kCommentScriptPath), kFailure},
        {"redirect", makerSiteUrl(kCommentScriptPath), kFailure},
        {"empty", makerSiteUrl(kCommentScriptPath), kFailure},
        {"", closed, kFailure},
    };
    for (const Case& c : cases) {
        FakeService::modeForPath(kCommentScriptPath, c.mode);
        TestAdvice& dialog = openAdvice(c.url);
        send(dialog, L"hello");
        ASSERT_TRUE(ends(dialog)) << c.mode;
        EXPECT_EQ(shown, Shown{c.outcome}) << c.mode;
        shown.clear();
    }
}

TEST_F(SiteDialogsTest, SendingLocksTheInputsAndAnimatesUntilTheAnswer) {
    FakeService::modeForPath(kCommentScriptPath, "stall:2");
    TestAdvice& dialog = openAdvice();
    HWND message = GetDlgItem(dialog.hwnd(), IDC_ADVICE_MESSAGE);
    EXPECT_NE(text(message).find(L"Thanks for using Brisalune."), std::wstring::npos);
    send(dialog, L"slow");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog.hwnd(), IDC_ADVICE_COMMENT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog.hwnd(), IDC_ADVICE_SEND)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.hwnd(), IDC_ADVICE_CANCEL)));
    // The first tick replaces the thank-you text; then one group more per tick, four at most.
    const std::wstring wait = L"\r\n Submit your comment, please wait";
    std::vector<std::wstring> lines;
    pumpUntil(
        [&] {
            if (lines.empty() || lines.back() != text(message)) {
                lines.push_back(text(message));
            }
            return lines.size() >= 4;
        },
        3s);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], wait + L" . .");
    EXPECT_EQ(lines[2], wait + L" . . .");
    EXPECT_EQ(lines[3], wait + L" . . . .");
    EXPECT_TRUE(shown.empty());
    ASSERT_TRUE(ends(dialog));
    EXPECT_EQ(shown, Shown{kSuccess});
}

TEST_F(SiteDialogsTest, AResultAfterCancelShowsNothingAndNoLaterCommentTakesIt) {
    // The first submission is answered with an error while the second still waits.
    FakeService::modeForPath(kCommentScriptPath, "stall:1.5/status:500");
    TestAdvice& first = openAdvice();
    send(first, L"first");
    ASSERT_TRUE(pumpUntil([] { return FakeService::countForPath(kCommentScriptPath) == 1; }));
    FakeService::modeForPath(kCommentScriptPath, "stall:4");
    cancel(first);
    EXPECT_EQ(first.result(), IDCANCEL);
    TestAdvice& second = openAdvice();
    send(second, L"second");

    ASSERT_TRUE(pumpUntil([&] { return host.unclaimed.size() == 1; }, 5s));
    EXPECT_EQ(host.unclaimed[0], WM_COMMENT_RESULT);
    EXPECT_TRUE(second.sending()) << "the second dialog took the first one's result";
    EXPECT_FALSE(second.ended());
    EXPECT_TRUE(shown.empty());
    ASSERT_TRUE(ends(second));
    EXPECT_EQ(shown, Shown{kSuccess});
}

TEST_F(SiteDialogsTest, OnlyANewerVersionIsAnnouncedWithItsNews) {
    const std::string path = kVersionDocumentPath;
    struct Case {
        const char* control;  // /_control/version query, or a misbehaviour of the path
        std::wstring shown;
    } const cases[] = {
        {"value=1.1&news=Quicker+refreshes.",
         L"news Check latest version: 1.1 is available\r\n Quicker refreshes."},
        {"value=1.10&nonews", L"news Check latest version: 1.10 is available\r\n "},
        {"value=1.0&news=Same", kNoNewVersion},
        {"value=0.9&news=Older", kNoNewVersion},
        {"value=&news=Empty", kNoNewVersion},
        {"novalue&news=Only+news", kNoNewVersion},
        {"mode:garbage", kNoNewVersion},
        {"mode:status:500", kNoNewVersion},
        {"mode:empty", kNoNewVersion},
    };
    for (const Case& c : cases) {
        FakeService::reset();
        const std::string control = c.control;
        if (control.rfind("mode:", 0) == 0) {
            FakeService::modeForPath(path, control.substr(5));
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

TEST_F(SiteDialogsTest, AStalledSiteKeepsTheLineMovingAndCancelShowsNothing) {
    FakeService::modeForPath(kVersionDocumentPath, "stall:3");
    const auto opened = Clock::now();
    TestCheck& dialog = openCheck();
    EXPECT_LT(Clock::now() - opened, 1s) << "the download held up the user interface";
    HWND line = GetDlgItem(dialog.hwnd(), IDC_CHECK_VERSION_TEXT);
    const std::wstring wait = L"Check latest version, please wait";
    EXPECT_EQ(text(line), wait);
    std::vector<std::wstring> lines{text(line)};
    pumpUntil(
        [&] {
            if (lines.back() != text(line)) {
                lines.push_back(text(line));
            }
            return lines.size() >= 5;
        },
        3s);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], wait + L" .  . ");
    EXPECT_EQ(lines[3], wait + L" .  .  .  . ");
    EXPECT_EQ(lines[4], wait + L" . ") << "after four groups the line starts again";

    cancel(dialog);
    ASSERT_TRUE(pumpUntil([&] { return host.unclaimed.size() == 1; }, 5s));
    EXPECT_TRUE(shown.empty());
}

TEST_F(SiteDialogsTest, ACancelledChecksResultIsNotTakenByTheNextCheck) {
    FakeService::get("/_control/version?value=0.5");
    FakeService::modeForPath(kVersionDocumentPath, "stall:1.5");
    TestCheck& first = openCheck();
    ASSERT_TRUE(pumpUntil([] { return FakeService::countForPath(kVersionDocumentPath) == 1; }));
    FakeService::get("/_control/version?value=3.0&news=Three");
    FakeService::modeForPath(kVersionDocumentPath, "stall:4");
    cancel(first);
    TestCheck& second = openCheck();

    ASSERT_TRUE(pumpUntil([&] { return host.unclaimed.size() == 1; }, 5s));
    EXPECT_EQ(host.unclaimed[0], WM_VERSION_RESULT);
    EXPECT_TRUE(second.checking());
    EXPECT_TRUE(shown.empty());
    ASSERT_TRUE(ends(second));
    EXPECT_EQ(shown, Shown{L"news Check latest version: 3.0 is available\r\n Three"});
}

}  // namespace
}  // namespace brisalune
