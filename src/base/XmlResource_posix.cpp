#include <mutex>

#include "base/Texts.h"
#include "base/XmlResource.h"
#include "base/FileIo.h"

#ifndef BRISALUNE_CATALOGUE_DIR
#error "BRISALUNE_CATALOGUE_DIR must name the directory of the catalogue documents"
#endif

namespace brisalune {

namespace {

std::mutex& directoryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& directory() {
    static std::string path = BRISALUNE_CATALOGUE_DIR;
    return path;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The file a resource name stands for. Only letters and digits may follow the prefix: the name
// is built from catalogue data, and must never reach outside the catalogue's directory.
std::optional<std::string> fileNameOf(const std::string& name) {
    static const std::string kPrefix = "idr_";
    if (name.size() <= kPrefix.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i < kPrefix.size(); ++i) {
        if (lowerAscii(name[i]) != kPrefix[i]) {
            return std::nullopt;
        }
    }
    std::string file;
    for (size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (!isAsciiAlnum(name[i])) {
            return std::nullopt;
        }
        file += lowerAscii(name[i]);
    }
    return file + ".xml";
}

}  // namespace

void setXmlResourceDirectory(std::string path) {
    std::lock_guard<std::mutex> hold(directoryMutex());
    directory() = std::move(path);
}

std::string xmlResourceDirectory() {
    std::lock_guard<std::mutex> hold(directoryMutex());
    return directory();
}

std::optional<std::string> loadXmlResource(const std::string& name) {
    const std::optional<std::string> file = fileNameOf(name);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    if (!fileio::readAll(joinPath(xmlResourceDirectory(), *file), bytes)) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace brisalune
