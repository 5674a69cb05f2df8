#include <windows.h>

#include "base/WideText.h"
#include "base/XmlResource.h"

namespace brisalune {

std::optional<std::string> loadXmlResource(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    // The system matches names without regard to case.
    HRSRC info = FindResourceW(nullptr, widen(name).c_str(), L"XML");
    if (info == nullptr) {
        return std::nullopt;
    }
    HGLOBAL loaded = LoadResource(nullptr, info);
    if (loaded == nullptr) {
        return std::nullopt;
    }
    const void* data = LockResource(loaded);
    const DWORD size = SizeofResource(nullptr, info);
    if (data == nullptr) {
        return std::nullopt;
    }
    // Resource memory is part of the mapped image and needs no release; the copy gives the
    // parser its terminating zero.
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace brisalune
