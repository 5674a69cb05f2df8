#include "base/XmlFile.h"

#include <tinyxml.h>

#include "base/FileIo.h"

namespace brisalune {

namespace {

// CR LF and a lone CR both become LF, as the XML rules ask and the library's file loader does.
std::string normaliseLineEnds(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            text += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            text += bytes[i];
        }
    }
    return text;
}

}  // namespace

bool parseXmlText(const std::string& text, TiXmlDocument& document) {
    document.Clear();
    document.ClearError();
    if (text.empty()) {
        return false;
    }
    const std::string normalised = normaliseLineEnds(text);
    document.Parse(normalised.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    return !document.Error();
}

XmlLoad loadXmlFile(const std::string& path, TiXmlDocument& document) {
    std::string bytes;
    if (!fileio::readAll(path, bytes) || bytes.empty()) {
        document.Clear();
        return XmlLoad::Missing;
    }
    if (parseXmlText(bytes, document) && document.RootElement() != nullptr) {
        return XmlLoad::Loaded;
    }
    fileio::writeAtomically(
        path + ".bad",
        [&bytes](FILE* file) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        },
        "wb");
    return XmlLoad::Bad;
}

bool saveXmlFile(const TiXmlDocument& document, const std::string& path) {
    return fileio::writeAtomically(path,
                                   [&document](FILE* file) { return document.SaveFile(file); });
}

}  // namespace brisalune
