#include "store/WidgetListStore.h"

#include <tinyxml.h>

#include "base/Texts.h"
#include "model/Records.h"
#include "base/XmlFile.h"

namespace brisalune {

WidgetListStore::WidgetListStore(std::string programDirectory)
    : directory_(std::move(programDirectory)) {}

void WidgetListStore::Load() {
    entries_.clear();
    if (directory_.empty()) {
        return;
    }
    TiXmlDocument document;
    if (loadXmlFile(joinPath(directory_, "widgetlist.xml"), document) != XmlLoad::Loaded) {
        return;
    }
    for (const TiXmlElement* element = document.RootElement()->FirstChildElement();
         element != nullptr; element = element->NextSiblingElement()) {
        if (element->ValueStr() != "widget") {
            continue;
        }
        WidgetEntry entry;
        // By position: name, param, and a third attribute of any name as the followed city.
        const TiXmlAttribute* attribute = element->FirstAttribute();
        if (attribute != nullptr) {
            entry.name = attribute->ValueStr();
            attribute = attribute->Next();
        }
        if (attribute != nullptr) {
            entry.param = attribute->ValueStr();
            attribute = attribute->Next();
        }
        if (attribute != nullptr) {
            entry.selectedCity = decimalValue(attribute->ValueStr());
        }
        entries_.push_back(std::move(entry));
    }
}

bool WidgetListStore::Save() const {
    if (directory_.empty()) {
        return false;
    }
    TiXmlDocument document;
    auto* root = new TiXmlElement("widgetlist");
    document.LinkEndChild(root);
    for (const WidgetEntry& entry : entries_) {
        auto* element = new TiXmlElement("widget");
        element->SetAttribute(std::string("name"), entry.name);
        element->SetAttribute(std::string("param"), entry.param);
        root->LinkEndChild(element);
    }
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
