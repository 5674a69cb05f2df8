// The texts of one row of the widget's city list, by key: "icon", "conditions", "low", "high",
// "tips", "name", "day".
#pragma once

#include <string>
#include <unordered_map>

#include "model/ForecastDates.h"

namespace brisalune {

class CityRecord;

class CityRow {
  public:
    void set(const std::string& key, const std::string& value) { texts_[key] = value; }
    // The text under the key, or nullptr when the key is missing.
    const std::string* find(const std::string& key) const;
    std::string text(const std::string& key) const;
    void clear() { texts_.clear(); }
    size_t size() const { return texts_.size(); }

  private:
    std::unordered_map<std::string, std::string> texts_;
};

// Fills a row from a city: the image, wording, temperatures and weekday of its first day dated
// `today` or later, or placeholders when it has no day yet; the name always; the status word as
// given. A city whose days all lie in the past shows the placeholders too, and says "outdated"
// when no other status word is given.
void FillRow(CityRow& row, const CityRecord& city, const std::string& tipsText, bool fahrenheit,
             const std::string& programDirectory, const CalendarDate& today = localToday());

}  // namespace brisalune
