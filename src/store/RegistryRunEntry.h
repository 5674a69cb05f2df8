// The start-on-boot entry as the per-user Run value "Brisalune" in the registry.
#pragma once

#include "store/RunEntry.h"

namespace brisalune {

class RegistryRunEntry : public RunEntryStore {
  public:
    bool IsRunEntryPresent() override;
    void AddRunEntry(const std::string& commandLine) override;
    void RemoveRunEntry() override;
};

}  // namespace brisalune
