// The per-user start-on-boot entry. The registry holds it on Windows; tests hand their own.
#pragma once

#include <string>

namespace brisalune {

class RunEntryStore {
  public:
    virtual ~RunEntryStore() = default;
    // A store that cannot be read counts as holding the entry.
    virtual bool IsRunEntryPresent() = 0;
    virtual void AddRunEntry(const std::string& commandLine) = 0;
    virtual void RemoveRunEntry() = 0;
};

// The command line the entry starts: the program path in quotes, and the hidden-start switch.
std::string runEntryCommandLine(const std::string& programDirectory);

}  // namespace brisalune
