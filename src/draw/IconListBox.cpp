#include "draw/IconListBox.h"

#include "draw/DibImage.h"
#include "win/Dpi.h"

namespace brisalune {

IconListBox::IconListBox() = default;
IconListBox::~IconListBox() = default;

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
    if (DibImage* image = picture(icon.imagePath)) {
        const int width = image->width();
        const int height = image->height();
        image->StretchBlt(dc, row.left + win::dpiScaled(2),
                          row.top + (win::dpiScaled(kRowHeight) - height) / 2, width, height, 0, 0,
                          width, height);
    }
    drawName(dc, row, icon.name);
}

DibImage* IconListBox::picture(const std::string& path) const {
    auto found = pictures_.find(path);
    if (found == pictures_.end()) {
        auto image = std::make_unique<DibImage>();
        if (image->LoadForDpi(path, win::systemDpi()) != S_OK) {
            image.reset();
        }
        found = pictures_.emplace(path, std::move(image)).first;
    }
    return found->second.get();
}

}  // namespace brisalune
