// The user's cities with their last good forecasts, in citylist.xml beside the program.
#pragma once

#include <string>

namespace brisalune {

class CityTable;

class CityListStore {
  public:
    explicit CityListStore(std::string programDirectory);

    // Appends the file's cities to an empty table. A missing or unreadable file leaves it empty
    // (an unreadable one is first set aside as citylist.xml.bad).
    void load(CityTable& table) const;
    // Writes the whole table, replacing the file in one step. Answers whether it was written;
    // the engine ignores a failure and the next change tries again.
    bool save(const CityTable& table) const;

    std::string path() const;

  private:
    std::string directory_;
};

}  // namespace brisalune
