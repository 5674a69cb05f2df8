#include "ui/CityRow.h"

#include "base/Texts.h"
#include "model/Records.h"

namespace brisalune {

const std::string* CityRow::find(const std::string& key) const {
    auto found = texts_.find(key);
    return found == texts_.end() ? nullptr : &found->second;
}

std::string CityRow::text(const std::string& key) const {
    const std::string* value = find(key);
    return value == nullptr ? std::string() : *value;
}

void FillRow(CityRow& row, const CityRecord& city, const std::string& tipsText, bool fahrenheit,
             const std::string& programDirectory, const CalendarDate& today) {
    std::string icon;
    std::string conditions = "-----";
    std::string low = "---";
    std::string high = "---";
    std::string day = "-----";
    std::string tips = tipsText;
    const CurrentDays current = currentDays(city.days(), today);
    if (current.outdated) {
        if (tips.empty()) {
            tips = "outdated";
        }
    } else if (!city.days().empty()) {
        const ForecastDay& first = city.days()[current.first];
        conditions = first.skytextday;
        icon = conditionImagePath(programDirectory, first.skycodeday);
        low = temperatureText(first.low, fahrenheit);
        high = temperatureText(first.high, fahrenheit);
        day = first.day;
    }
    row.clear();
    row.set("icon", icon);
    row.set("conditions", conditions);
    row.set("low", low);
    row.set("high", high);
    row.set("tips", tips);
    row.set("name", city.info.name);
    row.set("day", day);
}

}  // namespace brisalune
