// The program's start-up: one instance per session, the background machinery, then the widget
// as the modal main window for the life of the process.
#pragma once

#include <functional>
#include <string>

#include "model/Records.h"

namespace brisalune {

class CWidgetApp {
  public:
    // The network worker's fetch of one city's forecast (NetworkWorker::FetchFn).
    using FetchFn = std::function<ForecastList(WeatherJob& job)>;

    explicit CWidgetApp(FetchFn fetch);
    // Runs the program with the argument text that followed its path; returns the exit code.
    int run(const std::string& commandLine);

  private:
    FetchFn fetch_;
};

}  // namespace brisalune
