// The widget with an engine behind it: status records reach the widget through the notifier's
// queue only, and the forecasts that came in are on disk before the session or the process ends.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/Messages.h"
#include "base/Texts.h"
#include "engine/JobQueue.h"
#include "engine/ThreadMessageNotifier.h"
#include "resource.h"
#include "store/CityListStore.h"
#include "ui/CWidgetDlg.h"
#include "win/Window.h"

namespace brisalune {
namespace {

class ExitingWidget : public CWidgetDlg {
  public:
    ExitingWidget(RefreshEngine& engine, const std::string& directory)
        : CWidgetDlg(engine, directory, ""), directory_(directory) {}
    std::string fileAtEnd;

  protected:
    int askUser(const std::wstring&, const std::wstring&, UINT) override { return IDYES; }
    void endProcess() override { fileAtEnd = test::readFile(joinPath(directory_, "citylist.xml")); }

  private:
    std::string directory_;
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
        widget = std::make_unique<ExitingWidget>(engine, dir.path());
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
        CityTable saved;
        CityListStore(dir.path()).load(saved);
        return saved.at(0)->days().empty() ? -1 : saved.at(0)->days()[0].low;
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
    const std::pair<UINT, WPARAM> ends[] = {
        {WM_QUERYENDSESSION, 0}, {WM_ENDSESSION, TRUE}, {WM_COMMAND, ID_TRAY_EXIT}};
    int base = 10;
    for (const auto& [message, wParam] : ends) {
        SCOPED_TRACE(message);
        engine.refreshAll(ORIGIN_USER);
        engine.ApplyResult(queue.Pop(), test::makeDays(5, ++base));
        ASSERT_NE(savedLow(), base) << "B and C are still pending";
        SendMessageW(widget->hwnd(), message, wParam, 0);
        EXPECT_EQ(savedLow(), base);
        while (queue.size() > 0) {
            queue.Pop();
        }
    }
    EXPECT_NE(widget->fileAtEnd.find("low=\"" + std::to_string(base) + "\""), std::string::npos)
        << "written before the process ends: " << widget->fileAtEnd;
}

}  // namespace
}  // namespace brisalune
