// The list of the Add City dialog: names alone, as a TextListBox, or icon rows, each a name
// beside a small picture loaded from a file (the countries with their flags).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "draw/TextListBox.h"

namespace brisalune {

class DibImage;

struct IconRow {
    std::string name;
    // A picture that does not load leaves the icon box empty.
    std::string imagePath;
};
using IconRows = std::vector<IconRow>;

class IconListBox : public TextListBox {
  public:
    IconListBox();
    ~IconListBox() override;
    // Binds the dialog's icon rows instead of any strings bound before.
    void SetRows(const IconRows& rows);
    // Binds the dialog's strings instead of any icon rows bound before.
    void SetItems(const std::vector<std::string>& items);

  protected:
    void drawContent(HDC dc, const RECT& row, size_t index) const override;

  private:
    // The picture of a path, decoded on its first paint; null when it does not load.
    DibImage* picture(const std::string& path) const;

    const IconRows* rows_ = nullptr;
    // Decoding a picture costs more than drawing a whole row, and every keystroke repaints
    // the rows in view; the pictures are small (a flag is 3 kB decoded).
    mutable std::unordered_map<std::string, std::unique_ptr<DibImage>> pictures_;
};

}  // namespace brisalune
