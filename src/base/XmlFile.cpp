#include "base/XmlFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "base/FileIo.h"

namespace brisalune {

namespace {

// The text as the parser is given it: up to the first zero byte, and CR LF and a lone CR
// both become LF, as the XML rules ask.
std::string normalisedText(const std::string& bytes) {
    const size_t end = std::min(bytes.find('\0'), bytes.size());
    std::string text;
    text.reserve(end);
    for (size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\r') {
            text += '\n';
            if (i + 1 < end && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            text += bytes[i];
        }
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool startsWithFolded(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - std::min(at, text.size()) < word.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        char c = text[at + i];
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (c != word[i]) {
            return false;
        }
    }
    return true;
}

size_t skipPast(std::string_view text, size_t from, std::string_view end) {
    const size_t found = text.find(end, from);
    return found == std::string_view::npos ? text.size() : found + end.size();
}

// Whether character references become UTF-8: a byte-order mark, or a first declaration before
// the root element whose encoding is missing, empty or starts with "utf-8" or "utf8" in any
// case. Anything else, no declaration included, keeps them to one byte, as files without a
// declaration have always been read.
bool referencesAreUtf8(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        return true;
    }
    size_t at = 0;
    for (;;) {
        while (at < text.size() && isBlank(text[at])) {
            ++at;
        }
        if (at >= text.size() || text[at] != '<') {
            return false;
        }
        if (startsWithFolded(text, at, "<?xml")) {
            break;
        }
        if (text.compare(at, 4, "<!--") == 0) {
            at = skipPast(text, at + 4, "-->");
        } else if (text.compare(at, 9, "<![CDATA[") == 0) {
            at = skipPast(text, at + 9, "]]>");
        } else if (at + 1 < text.size() &&
                   (std::isalpha(static_cast<unsigned char>(text[at + 1])) != 0 ||
                    text[at + 1] == '_' || static_cast<unsigned char>(text[at + 1]) >= 127)) {
            return false;  // the root element
        } else {
            at = skipPast(text, at + 1, ">");
        }
    }
    // The declaration's pseudo-attributes: a quoted value may hold '>'.
    std::string_view encoding;
    at += 5;
    while (at < text.size() && text[at] != '>') {
        if (isBlank(text[at])) {
            ++at;
            continue;
        }
        const bool isEncoding = startsWithFolded(text, at, "encoding");
        const size_t nameEnd = text.find_first_of("= \t\n\v\f>", at);
        size_t value = nameEnd == std::string_view::npos ? text.size() : nameEnd;
        while (value < text.size() && isBlank(text[value])) {
            ++value;
        }
        if (value < text.size() && text[value] == '=') {
            ++value;
            while (value < text.size() && isBlank(text[value])) {
                ++value;
            }
            if (value < text.size() && (text[value] == '"' || text[value] == '\'')) {
                const size_t close = text.find(text[value], value + 1);
                const size_t end = close == std::string_view::npos ? text.size() : close;
                if (isEncoding) {
                    encoding = text.substr(value + 1, end - value - 1);
                }
                at = end + 1;
                continue;
            }
        }
        at = std::max(value, at + 1);
    }
    return encoding.empty() || startsWithFolded(encoding, 0, "utf-8") ||
           startsWithFolded(encoding, 0, "utf8");
}

// A reference to zero gives nothing, nor does one past U+1FFFFF in a UTF-8 document; in any
// other document only its low byte counts.
void appendCode(uint32_t code, bool utf8, std::string& out) {
    if (!utf8) {
        code &= 0xFF;
    }
    if (code == 0) {
        return;
    }
    if (!utf8 || code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x200000) {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Resolves the references of a raw value by the rules of parseXmlText; false when a numeric
// one is malformed.
bool resolveReferences(std::string_view raw, bool utf8, std::string& out) {
    static const std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
    };
    out.clear();
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] != '&') {
            out += raw[i++];
            continue;
        }
        if (raw.compare(i, 2, "&#") == 0) {
            const bool hex = raw.compare(i, 3, "&#x") == 0;
            const size_t digits = i + (hex ? 3 : 2);
            const size_t end = raw.find(';', digits);
            if (end == std::string_view::npos) {
                return false;
            }
            // Digits past the eighth wrap around, as they always have.
            uint32_t code = 0;
            uint32_t scale = 1;
            for (size_t k = end; k > digits; --k) {
                const int digit = digitValue(raw[k - 1], hex);
                if (digit < 0) {
                    return false;
                }
                code += scale * static_cast<uint32_t>(digit);
                scale *= hex ? 16 : 10;
            }
            appendCode(code, utf8, out);
            i = end + 1;
            continue;
        }
        bool named = false;
        for (const auto& [reference, character] : kNamed) {
            if (raw.compare(i, reference.size(), reference) == 0) {
                out += character;
                i += reference.size();
                named = true;
                break;
            }
        }
        if (!named) {
            ++i;
        }
    }
    return true;
}

bool hasRepeatedAttribute(const pugi::xml_node& element) {
    constexpr int kFewAttributes = 16;
    int count = 0;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        ++count;
    }
    if (count <= kFewAttributes) {
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute()) {
                if (std::strcmp(a.name(), b.name()) == 0) {
                    return true;
                }
            }
        }
        return false;
    }
    std::unordered_set<std::string_view> names;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (!names.insert(a.name()).second) {
            return true;
        }
    }
    return false;
}

// Resolves every attribute value and checks every text, node by node without recursion.
bool finishTree(pugi::xml_document& document, bool utf8) {
    std::string resolved;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            if (hasRepeatedAttribute(node)) {
                return false;
            }
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                if (std::strchr(a.value(), '&') != nullptr) {
                    if (!resolveReferences(a.value(), utf8, resolved)) {
                        return false;
                    }
                    a.set_value(resolved.c_str());
                }
            }
        } else if (node.type() == pugi::node_pcdata && std::strchr(node.value(), '&') != nullptr &&
                   !resolveReferences(node.value(), utf8, resolved)) {
            return false;
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
        }
        if (node) {
            node = node.next_sibling();
        }
    }
    return true;
}

void appendEscaped(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (byte < 32) {
                    out += "&#x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                    out += ';';
                } else {
                    out += c;
                }
        }
    }
}

}  // namespace

bool parseXmlText(const std::string& text, pugi::xml_document& document) {
    document.reset();
    const std::string normalised = normalisedText(text);
    // Without escapes, the values come raw and are resolved by the program's own rules.
    if (!document.load_buffer(normalised.data(), normalised.size(), pugi::parse_minimal,
                              pugi::encoding_utf8) ||
        !finishTree(document, referencesAreUtf8(normalised))) {
        document.reset();
        return false;
    }
    return true;
}

XmlLoad loadXmlFile(const std::string& path, pugi::xml_document& document) {
    std::string bytes;
    const fileio::ReadResult read = fileio::readPatiently(path, bytes);
    if (read != fileio::ReadResult::Read || bytes.empty()) {
        document.reset();
        return read == fileio::ReadResult::Unreadable ? XmlLoad::Unreadable : XmlLoad::Missing;
    }
    if (parseXmlText(bytes, document)) {
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

void XmlWriter::open(std::string_view name) {
    if (!open_.empty()) {
        Open& parent = open_.back();
        if (!parent.hasChildren) {
            text_ += '>';
            parent.hasChildren = true;
        }
        text_ += '\n';
        text_.append(4 * open_.size(), ' ');
    }
    text_ += '<';
    text_ += name;
    open_.push_back({std::string(name)});
}

void XmlWriter::attribute(std::string_view name, std::string_view value) {
    const char quote = value.find('"') == std::string_view::npos ? '"' : '\'';
    text_ += ' ';
    appendEscaped(text_, name);
    text_ += '=';
    text_ += quote;
    appendEscaped(text_, value);
    text_ += quote;
}

void XmlWriter::attribute(std::string_view name, int value) {
    attribute(name, std::to_string(value));
}

void XmlWriter::close() {
    const Open element = std::move(open_.back());
    open_.pop_back();
    if (!element.hasChildren) {
        text_ += " />";
    } else {
        text_ += '\n';
        text_.append(4 * open_.size(), ' ');
        text_ += "</" + element.name + '>';
    }
    if (open_.empty()) {
        text_ += '\n';
    }
}

bool saveXmlFile(const XmlWriter& document, const std::string& path) {
    const std::string& text = document.text();
    return fileio::writeAtomically(path, [&text](FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
}

}  // namespace brisalune
