// Reading and writing the program's own XML files.
#pragma once

#include <string>

class TiXmlDocument;

namespace brisalune {

enum class XmlLoad {
    Missing,  // no file, or an empty one: nothing to keep
    Loaded,   // parsed, with a root element
    Bad,      // there but unreadable; a copy was set aside as <name>.bad
};

// Parses the file as the XML library's own file loader would (line ends normalised, encoding
// detected). A file that does not parse, or has no root element, is copied to the same name +
// ".bad" (replacing an older copy) before anyone can save over it, so the user's data can be
// recovered by hand.
XmlLoad loadXmlFile(const std::string& path, TiXmlDocument& document);

// Writes the document with the library's standard printer through a temporary file, so a crash
// or a full disk leaves the previous file whole. Answers whether the new file is in place.
bool saveXmlFile(const TiXmlDocument& document, const std::string& path);

// Parses text held in memory: line ends normalised as for a file, encoding detected. Answers
// false when it does not parse.
bool parseXmlText(const std::string& text, TiXmlDocument& document);

}  // namespace brisalune
