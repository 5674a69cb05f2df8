#include "store/WidgetListStore.h"

#include "base/Texts.h"
#include "base/XmlFile.h"
#include "model/Records.h"

namespace brisalune {

WidgetListStore::WidgetListStore(std::string programDirectory)
    : directory_(std::move(programDirectory)) {}

void WidgetListStore::Load() {
    entries_.clear();
    if (directory_.empty()) {
        return;
    }
    pugi::xml_document document;
    if (loadXmlFile(joinPath(directory_, "widgetlist.xml"), document) != XmlLoad::Loaded) {
        return;
    }
    for (const pugi::xml_node& element : document.document_element().children("widget")) {
        WidgetEntry entry;
        // By position: name, param, and a third attribute of any name as the followed city.
        pugi::xml_attribute attribute = element.first_attribute();
        if (attribute) {
            entry.name = attribute.value();
            attribute = attribute.next_attribute();
        }
        if (attribute) {
            entry.param = attribute.value();
            attribute = attribute.next_attribute();
        }
        if (attribute) {
            entry.selectedCity = decimalValue(attribute.value());
        }
        entries_.push_back(std::move(entry));
    }
}

bool WidgetListStore::Save() const {
    if (directory_.empty()) {
        return false;
    }
    XmlWriter document;
    document.open("widgetlist");
    for (const WidgetEntry& entry : entries_) {
        document.open("widget");
        document.attribute("name", entry.name);
        document.attribute("param", entry.param);
        document.close();
    }
    document.close();
    return saveXmlFile(document, joinPath(directory_, "widgetlist.xml"));
}

const WidgetEntry* WidgetListStore::EntryAt(int index) const {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    return &entries_[static_cast<size_t>(index)];
}

void WidgetListStore::OnJobStatus(const WeatherJob& record, int cityCount) {
    if (entries_.empty()) {
        return;
    }
    WidgetEntry& first = entries_.front();
    if (record.status == STATUS_ADDED) {
        if (cityCount == 1) {
            first.selectedCity = 0;
            Save();
        }
    } else if (record.status == STATUS_REMOVED) {
        bool moved = false;
        if (first.selectedCity == record.cityIndex) {
            first.selectedCity = 0;
            moved = true;
        } else if (first.selectedCity > record.cityIndex) {
            // Cities behind a removed one move up a place; the followed one with them.
            --first.selectedCity;
        }
        if (cityCount == 0) {
            first.selectedCity = -1;
            Save();
        } else if (moved) {
            Save();
        }
    }
}

}  // namespace brisalune
