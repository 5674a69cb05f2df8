#include "draw/IconListBox.h"

#include "draw/DibImage.h"

namespace brisalune {

void IconListBox::SetRows(const IconRows& rows) {
    rows_ = &rows;
    fill(rows.size());
}

void IconListBox::SetItems(const std::vector<std::string>& items) {
    rows_ = nullptr;
    TextListBox::SetItems(items);
}

void IconListBox::drawContent(HDC dc, const RECT& row, size_t index) const {
    if (rows_ == nullptr) {
        TextListBox::drawContent(dc, row, index);
        return;
    }
    if (index >= rows_->size()) {
        return;
    }
    const IconRow& icon = (*rows_)[index];
    // Loaded for each paint: only the rows in view are painted, and the pictures are small.
    DibImage image;
    if (image.Load(icon.imagePath) == S_OK) {
        const int width = image.width();
        const int height = image.height();
        image.StretchBlt(dc, row.left + 2, row.top + (kRowHeight - height) / 2, width, height, 0, 0,
                         width, height);
    }
    drawName(dc, row, icon.name);
}

}  // namespace brisalune
