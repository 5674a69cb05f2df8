// The widget with an engine behind it: status records reach the widget through the notifier's
// queue only, and the forecasts that came in are on disk before the session or the process ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "engine/JobQueue.h"
#include "engine/ThreadMessageNotifier.h"
#include "resource.h"
#include "ui/CWidgetDlg.h"
#include "win/Window.h"

namespace brisalune {
namespace {

// Answers Yes to Exit, and notes which days were on disk when the process would have ended.
class ExitingWidget : public CWidgetDlg {
  public:
    using CWidgetDlg::CWidgetDlg;
    std::function<void()> onEnd;

  protected:
    int askUser(const std::wstring&, const std::wstring&, UINT) override { return IDYES; }
    void endProcess() override { onEnd(); }
};

class WidgetEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeFile(dir.file("citylist.xml"),
                        "<citylist><city name=\"A\" param=\"a\" /><city name=\"B\" param=\"b\" />"
                        "<city name=\"C\" param=\"c\" /></citylist>");
        EnginePlatform platform{dir.path(), &queue, &notifier, &timer, &runEntry};
        // Long enough that only a flush writes while a city is still pending.
        platform.saveDelay = std::chrono::minutes(10);
        engine.initialise(platform);
        widget = std::make_unique<ExitingWidget>(engine, dir.path(), "");
        win::setMainWindow(widget.get());
        ASSERT_TRUE(widget->Create());
        win::pumpWaitingMessages();
    }
    void TearDown() override {
        widget.reset();
        win::pumpWaitingMessages();
    }

    std::string tips(size_t row) { return widget->rows().at(row)->text("tips"); }
    // The first city's first low on disk; -1 without days.
    int savedLow() {
        const ForecastList days = test::savedCities(dir.path()).at(0)->days();
        return days.empty() ? -1 : days[0].low;
    }

    test::ScratchDir dir;
    JobQueue queue;
    ThreadMessageNotifier notifier;
    test::FakeTimer timer;
    test::FakeRunEntry runEntry;
    RefreshEngine engine;
    std::unique_ptr<ExitingWidget> widget;
};

TEST_F(WidgetEngineTest, AStray1145FreesNothingAndRecordsStillArriveInOrder) {
    const auto postStrays = [this] {
        PostThreadMessageW(GetCurrentThreadId(), WM_JOB_STATUS, 0xDEADBEEF, 0x1234);
        PostMessageW(widget->hwnd(), WM_JOB_STATUS, 0xDEADBEEF, 0x1234);
    };
    postStrays();
    engine.refreshAll(ORIGIN_USER);
    postStrays();
    engine.ApplyResult(queue.Pop(), ForecastList());
    postStrays();
    win::pumpWaitingMessages();
    EXPECT_EQ(tips(0), "failure") << "refreshing, then failed";
    EXPECT_EQ(tips(1), "refresh ...");

    postStrays();
    win::pumpWaitingMessages();
    EXPECT_EQ(tips(0), "failure");
    EXPECT_EQ(tips(2), "refresh ...");
}

TEST_F(WidgetEngineTest, EndOfSessionAndExitFirstWriteTheForecastsThatCameIn) {
    int lowAtEnd = -1;
    widget->onEnd = [&] { lowAtEnd = savedLow(); };
    const std::pair<UINT, WPARAM> ends[] = {
        {WM_QUERYENDSESSION, 0}, {WM_ENDSESSION, TRUE}, {WM_COMMAND, ID_TRAY_EXIT}};
    for (int base = 0; base < 3; ++base) {
        const auto [message, wParam] = ends[base];
        engine.refreshAll(ORIGIN_USER);
        engine.ApplyResult(queue.Pop(), test::makeDays(5, base));
        ASSERT_NE(savedLow(), base) << "B and C are still pending";
        SendMessageW(widget->hwnd(), message, wParam, 0);
        EXPECT_EQ(message == WM_COMMAND ? lowAtEnd : savedLow(), base) << message;
        while (queue.size() > 0) {
            queue.Pop();
        }
    }
}

}  // namespace
}  // namespace brisalune
