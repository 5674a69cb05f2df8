// The list of the Add City dialog: names alone, as a TextListBox, or icon rows, each a name
// beside a small picture loaded from a file (the countries with their flags).
#pragma once

#include <string>
#include <vector>

#include "draw/TextListBox.h"

namespace brisalune {

struct IconRow {
    std::string name;
    // A picture that does not load leaves the icon box empty.
    std::string imagePath;
};
using IconRows = std::vector<IconRow>;

class IconListBox : public TextListBox {
  public:
    // Binds the dialog's icon rows instead of any strings bound before.
    void SetRows(const IconRows& rows);
    // Binds the dialog's strings instead of any icon rows bound before.
    void SetItems(const std::vector<std::string>& items);

  protected:
    void drawContent(HDC dc, const RECT& row, size_t index) const override;

  private:
    const IconRows* rows_ = nullptr;
};

}  // namespace brisalune
