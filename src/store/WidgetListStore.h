// The desktop widgets' entries, in widgetlist.xml beside the program. The program never creates
// the file; with none, the store stays empty and does nothing.
#pragma once

#include <string>
#include <vector>

namespace brisalune {

class WeatherJob;

struct WidgetEntry {
    std::string name;
    std::string param;
    int selectedCity = 0;  // position of the city the widget follows; in memory only
};

class WidgetListStore {
  public:
    explicit WidgetListStore(std::string programDirectory = std::string());

    void Load();
    bool Save() const;
    const WidgetEntry* EntryAt(int index) const;
    int count() const { return static_cast<int>(entries_.size()); }

    // Keeps the first widget on an existing city after a city was added or removed.
    // `cityCount` is the number of cities in the table after the change.
    void OnJobStatus(const WeatherJob& record, int cityCount);

  private:
    std::string directory_;
    std::vector<WidgetEntry> entries_;
};

}  // namespace brisalune
