// What one weather source made of one request: the days, or why there are none.
#pragma once

#include <string>

#include "model/Records.h"

namespace brisalune {

struct SourceAnswer {
    ForecastList days;
    // Empty when the days are good; otherwise a short reason for the refresh log, and no days:
    // a bad answer never gives part of its days.
    std::string problem;
};

}  // namespace brisalune
