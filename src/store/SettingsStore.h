// The four user settings, kept in settings.xml with the user's other files, and the start-on-boot
// entry that follows the last of them.
#pragma once

#include <string>

namespace brisalune {

class RunEntryStore;

struct Settings {
    std::string unit;         // "0" Fahrenheit, anything else Celsius
    std::string timeval;      // refresh period in hours; below 1 means manual only
    std::string days;         // days offered for sharing
    std::string startonboot;  // "1" on

    bool operator==(const Settings&) const = default;
};

class SettingsStore {
  public:
    SettingsStore(std::string unit, std::string timeval, std::string days, std::string startonboot);
    virtual ~SettingsStore() = default;

    // Where the file lives, where the program stands (the start-on-boot entry starts it from
    // there) and what keeps the entry; all may be left unset, and then the store only holds values.
    void attach(std::string dataDirectory, std::string programDirectory, RunEntryStore* runEntry);

    // Reads settings.xml over the current values; the registry then has the last word on start
    // on boot: with no entry there, the setting is off.
    void Load();
    // Writes settings.xml and brings the entry in step. Failures are silent.
    void Save();

    bool IsRunEntryPresent();
    void AddRunEntry();
    void RemoveRunEntry();

    Settings values;

  private:
    std::string directory_;
    std::string programDirectory_;
    RunEntryStore* runEntry_ = nullptr;
};

}  // namespace brisalune
