// The WMO weather codes of the forecast service, shown with our own condition pictures and
// their wordings. The only place that knows how the two sets meet.
#pragma once

namespace brisalune {

struct SkyCondition {
    int skycode;          // picture fc_<skycode>.gif, 0 to 47
    const char* wording;  // as the weather service words that picture
};

// The picture and wording for a WMO code; "Not Available" (44) for a code the table does not
// know.
SkyCondition conditionOfWmoCode(int wmoCode);

}  // namespace brisalune
