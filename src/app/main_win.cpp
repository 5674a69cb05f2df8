#include <windows.h>

#include "app/CWidgetApp.h"
#include "base/WideText.h"
#include "engine/MsnSource.h"
#include "engine/RefreshEngine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // The worker's downloads report broken-off answers in the engine's log, where the log
    // dialog shows them beside the results.
    brisalune::CWidgetApp app([](const std::string& param) {
        return brisalune::MsnSource(brisalune::RefreshEngine::instance().log())
            .FetchForecast(param);
    });
    return app.run(brisalune::narrow(commandLine != nullptr ? commandLine : L""));
}
