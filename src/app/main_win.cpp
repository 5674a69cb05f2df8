#include <windows.h>

#include "app/CWidgetApp.h"
#include "base/WideText.h"
#include "engine/ForecastSources.h"
#include "engine/MsnSource.h"
#include "engine/OpenMeteoSource.h"
#include "engine/RefreshEngine.h"
#include "store/CityCoordinates.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    using namespace brisalune;
    // The worker's downloads report broken-off answers and failed sources in the engine's log,
    // where the log dialog shows them beside the results. Only the worker asks the sources and
    // the coordinates, one city at a time.
    static CityCoordinates coordinates;
    static ForecastSources sources(
        RefreshEngine::instance().log(),
        ForecastSources::Fetches{
            [](const std::string& param) {
                return MsnSource(RefreshEngine::instance().log()).FetchAnswer(param);
            },
            [](const Coordinates& at) {
                return OpenMeteoSource(RefreshEngine::instance().log()).FetchForecast(at);
            },
            [](const std::string& param) { return coordinates.find(param); }});
    CWidgetApp app([](WeatherJob& job) { return sources.Fetch(job); });
    return app.run(narrow(commandLine != nullptr ? commandLine : L""));
}
