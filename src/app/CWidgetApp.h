// The program's start-up: one instance per session, the background machinery, then the widget
// as the modal main window for the life of the process.
#pragma once

#include <functional>
#include <string>

#include "model/Records.h"

namespace brisalune {

class CWidgetApp {
  public:
    using FetchFn = std::function<ForecastList(const std::string& param)>;

    explicit CWidgetApp(FetchFn fetch);
    // Runs the program with the argument text that followed its path; returns the exit code.
    int run(const std::string& commandLine);

  private:
    FetchFn fetch_;
};

}  // namespace brisalune
