#include "engine/HttpText.h"

#include <cstdlib>

namespace brisalune {

void AnswerLines::feed(std::string_view bytes) {
    size_t start = 0;
    for (;;) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            partial_.append(bytes.substr(start));
            return;
        }
        text_ += partial_;
        partial_.clear();
        text_.append(bytes.substr(start, end - start));
        text_ += "\r\n";
        start = end + 1;
    }
}

std::string AnswerLines::finish() {
    if (!partial_.empty()) {
        text_ += partial_;
        text_ += "\r\n";
        partial_.clear();
    }
    return std::move(text_);
}

std::string AnswerLines::abandon() {
    partial_.clear();
    return std::move(text_);
}

std::string answerText(std::string_view body) {
    AnswerLines lines;
    lines.feed(body);
    return lines.finish();
}

std::string formEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' ||
                          byte == '.' || byte == '*';
        if (kept) {
            encoded += c;
        } else if (byte == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

void appendFormField(std::string& body, std::string_view name, std::string_view value) {
    body += formEncode(name);
    body += '=';
    body += formEncode(value);
    body += '&';
}

std::string serviceOrigin(const std::string& given, const char* variable, const char* fallback) {
    std::string origin = given;
    if (origin.empty()) {
        const char* configured = std::getenv(variable);
        origin = configured != nullptr && *configured != '\0' ? configured : fallback;
    }
    while (!origin.empty() && origin.back() == '/') {
        origin.pop_back();
    }
    return origin;
}

}  // namespace brisalune
