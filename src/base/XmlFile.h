// Reading and writing the program's own XML files, and reading the XML texts it is sent.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace brisalune {

enum class XmlLoad {
    Missing,  // no file, or an empty one: nothing to keep
    Loaded,   // parsed, with a root element
    Bad,      // there but does not parse; a copy was set aside as <name>.bad
    // There, but it could not be read even after a few seconds' retries (held by another
    // program, not allowed): left as it is, and no save replaces it during this run.
    Unreadable,
};

// Parses text held in memory the way the program has always read XML, so files written by
// earlier versions and by hand read as they always did:
// - CR LF and a lone CR become LF; the text ends at a zero byte;
// - no bytes are converted, whatever encoding the document declares; only a character
//   reference depends on it: it becomes UTF-8 in a document that starts with a UTF-8
//   byte-order mark or whose first declaration names UTF-8 or no encoding, and a single byte
//   otherwise (a reference to byte zero is left out);
// - "&amp;" "&lt;" "&gt;" "&quot;" "&apos;" are resolved, a malformed numeric reference makes
//   the document fail, an ampersand that starts no reference is dropped;
// - an element that carries the same attribute twice makes the document fail;
// - comments, CDATA, declarations, processing instructions and document types are skipped.
// Answers false when the text does not parse or holds no element. The parser keeps no stack
// per level of nesting, so any depth parses within memory.
bool parseXmlText(const std::string& text, pugi::xml_document& document);

// Parses the file as parseXmlText does. A file that does not parse is copied to the same name
// + ".bad" (replacing an older copy) before anyone can save over it, so the user's data can be
// recovered by hand.
XmlLoad loadXmlFile(const std::string& path, pugi::xml_document& document);

// Builds the text of a document in the layout the program's files have always had: no
// declaration, each element on a line of its own indented by four blanks per level, an empty
// element closed in its own tag (" />"), attribute values in double quotes unless they hold
// one (then single quotes), & < > " ' escaped by name and bytes below 32 as "&#xHH;", other
// bytes as they are, and a line feed after the root.
class XmlWriter {
  public:
    // Starts an element inside the one open now, or the root when none is open.
    void open(std::string_view name);
    // Adds an attribute to the element opened last; only before its first child.
    void attribute(std::string_view name, std::string_view value);
    void attribute(std::string_view name, int value);
    void close();

    const std::string& text() const { return text_; }

  private:
    struct Open {
        std::string name;
        bool hasChildren = false;
    };
    std::string text_;
    std::vector<Open> open_;
};

// Writes the document through a temporary file, in text mode as the files have always been
// written, so a crash or a full disk leaves the previous file whole. Answers whether the new
// file is in place.
bool saveXmlFile(const XmlWriter& document, const std::string& path);

}  // namespace brisalune
