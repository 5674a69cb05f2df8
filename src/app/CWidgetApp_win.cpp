#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "engine/RefreshTimerWindow.h"
#include "engine/ThreadMessageNotifier.h"
#include "app/CWidgetApp.h"
#include "app/CrashReport.h"
#include "base/DataFolder.h"
#include "base/Messages.h"
#include "base/Program.h"
#include "base/WideText.h"
#include "app/SingleInstance.h"
#include "engine/JobQueue.h"
#include "engine/NetworkWorker.h"
#include "engine/RefreshEngine.h"
#include "store/RegistryRunEntry.h"
#include "ui/CWidgetDlg.h"
#include "win/Window.h"

namespace brisalune {

CWidgetApp::CWidgetApp(FetchFn fetch) : fetch_(std::move(fetch)) {}

int CWidgetApp::run(const std::string& commandLine) {
    // GDI+ for the whole process; a failure only leaves pictures out.
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // Everything below lives until the process ends: Exit ends it from inside the widget.
    static SingleInstance instance(kInstanceMutexName, kWakeupEventName);
    if (!instance.acquire(GetCurrentThreadId())) {
        return 0;
    }
    installCrashHandler();

    // The process's one engine; the timer and the worker reach it through instance(), so their
    // callbacks hold no reference to a local of this function.
    RefreshEngine& engine = RefreshEngine::instance();
    static JobQueue queue;
    static ThreadMessageNotifier notifier;
    static RegistryRunEntry runEntry;
    static WindowRefreshTimer timer([] { RefreshEngine::instance().refreshAll(ORIGIN_TIMER); });
    static NetworkWorker worker(
        queue, fetch_, [](std::unique_ptr<WeatherJob> job, ForecastList days) {
            RefreshEngine::instance().ApplyResult(std::move(job), std::move(days));
        });

    EnginePlatform platform;
    // The program's folder when it may write there, otherwise the user's own folder; the
    // crash handler above has made the same choice.
    platform.dataDirectory = dataDirectory();
    platform.programDirectory = programDirectory();
    platform.queue = &queue;
    platform.notifier = &notifier;
    platform.timer = &timer;
    platform.runEntry = &runEntry;
    platform.tellUser = [](const std::string& text) {
        MessageBoxW(nullptr, widen(text).c_str(), L"Brisalune", MB_ICONWARNING | MB_OK);
    };
    // Loaded on this thread before the worker exists, so the first fetch sees the whole list.
    engine.initialise(platform);
    worker.Start();

    CWidgetDlg widget(engine, programDirectory(), commandLine);
    win::setMainWindow(&widget);
    win::installMessageFilter();
    widget.DoModal();
    return 0;
}

}  // namespace brisalune
