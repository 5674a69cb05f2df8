// The refresh log window in-process, over a log the engine wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include "DialogFixture.h"
#include "base/WideText.h"
#include "resource.h"
#include "ui/CLogDetailsDlg.h"

namespace brisalune {
namespace {

class LogDetailsTest : public test::DialogFixture {
  protected:
    std::wstring shown() {
        CLogDetailsDlg dialog(nullptr, engine.log());
        EXPECT_TRUE(dialog.Create());
        HWND edit = GetDlgItem(dialog.hwnd(), IDC_LOG_TEXT);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(
            static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        return text;
    }
};

TEST_F(LogDetailsTest, ShowsTheWholeLogWithAccentedNamesAsWritten) {
    start(
        "<city name=\"Z\xC3\xBCrich\" param=\"z\" /><city name=\"Montr\xC3\xA9"
        "al\" param=\"m\" />");
    EXPECT_EQ(shown(), L"");
    engine.refreshAll(ORIGIN_USER);
    engine.ApplyResult(queue.Pop(), test::makeDays(5));
    engine.ApplyResult(queue.Pop(), ForecastList());
    const std::wstring text = shown();
    EXPECT_EQ(text, widen(engine.log().snapshot()));
    EXPECT_NE(text.find(L"\r\nZ\u00fcrich success(gui) "), std::wstring::npos) << narrow(text);
    EXPECT_NE(text.find(L"\r\nMontr\u00e9al failure(gui) "), std::wstring::npos) << narrow(text);

    // A long log is shown whole, well past an edit box's usual typing limit.
    for (int i = 0; i < 2000; ++i) {
        engine.log().append("\r\nZ\xC3\xBCrich failure, retry at 12:00:00 " + std::to_string(i));
    }
    const std::wstring whole = shown();
    EXPECT_GT(whole.size(), 60000u);
    EXPECT_EQ(whole, widen(engine.log().snapshot()));
}

}  // namespace
}  // namespace brisalune
