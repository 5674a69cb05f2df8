#include "store/SettingsStore.h"

#include "base/Texts.h"
#include "base/XmlFile.h"
#include "store/RunEntry.h"

namespace brisalune {

std::string runEntryCommandLine(const std::string& programDirectory) {
    // The entry is a Windows command line whatever platform builds it. The path is quoted: with
    // a blank in it, Windows would otherwise try "C:\Program.exe" and the like first.
    return "\"" + programDirectory + "\\Brisalune.exe\" -s";
}

SettingsStore::SettingsStore(std::string unit, std::string timeval, std::string days,
                             std::string startonboot)
    : values{std::move(unit), std::move(timeval), std::move(days), std::move(startonboot)} {}

void SettingsStore::attach(std::string dataDirectory, std::string programDirectory,
                           RunEntryStore* runEntry) {
    directory_ = std::move(dataDirectory);
    programDirectory_ = std::move(programDirectory);
    runEntry_ = runEntry;
}

void SettingsStore::Load() {
    pugi::xml_document document;
    if (!directory_.empty() &&
        loadXmlFile(joinPath(directory_, "settings.xml"), document) == XmlLoad::Loaded) {
        for (const pugi::xml_node& element : document.document_element().children()) {
            const std::string_view name = element.name();
            std::string* field = name == "unit"          ? &values.unit
                                 : name == "timeval"     ? &values.timeval
                                 : name == "days"        ? &values.days
                                 : name == "startonboot" ? &values.startonboot
                                                         : nullptr;
            if (field == nullptr) {
                continue;
            }
            // Whatever the attribute is called, the last one of the element wins.
            for (const pugi::xml_attribute& attribute : element.attributes()) {
                *field = attribute.value();
            }
        }
    }
    if (!IsRunEntryPresent()) {
        values.startonboot = "0";
    }
}

void SettingsStore::Save() {
    XmlWriter document;
    document.open("Settings");
    const std::pair<const char*, const std::string*> entries[] = {
        {"unit", &values.unit},
        {"timeval", &values.timeval},
        {"days", &values.days},
        {"startonboot", &values.startonboot},
    };
    for (const auto& [name, value] : entries) {
        document.open(name);
        document.attribute(std::string_view(name) == "unit" ? "val" : name, *value);
        document.close();
    }
    document.close();
    if (!directory_.empty()) {
        saveXmlFile(document, joinPath(directory_, "settings.xml"));
    }
    if (values.startonboot == "1") {
        if (!IsRunEntryPresent()) {
            AddRunEntry();
        }
    } else if (IsRunEntryPresent()) {
        RemoveRunEntry();
    }
}

bool SettingsStore::IsRunEntryPresent() {
    // Without a store to ask, the entry counts as present, as an unreadable registry key does.
    return runEntry_ == nullptr || runEntry_->IsRunEntryPresent();
}

void SettingsStore::AddRunEntry() {
    if (runEntry_ != nullptr) {
        runEntry_->AddRunEntry(runEntryCommandLine(programDirectory_));
    }
}

void SettingsStore::RemoveRunEntry() {
    if (runEntry_ != nullptr) {
        runEntry_->RemoveRunEntry();
    }
}

}  // namespace brisalune
