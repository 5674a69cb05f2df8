// The text side of an HTTP exchange, kept apart from the sockets so it is the same on every
// platform: how an answer's bytes become the text callers get, and how a form is encoded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brisalune {

// Turns an answer's bytes into lines, each ending in "\r\n" whatever the server used: the
// line feed is replaced, a carriage return before it stays part of the line. Bytes may arrive
// in pieces of any size; a line counts only once its line feed has arrived, so an answer that
// breaks off midway keeps its whole lines and drops the piece of a line it was reading.
class AnswerLines {
  public:
    void feed(std::string_view bytes);
    // The answer ended normally: a last line without a line feed gets "\r\n" too.
    std::string finish();
    // Reading failed: only the whole lines count.
    std::string abandon();

  private:
    std::string text_;
    std::string partial_;
};

// The reading rule applied to a whole answer at once.
std::string answerText(std::string_view body);

// application/x-www-form-urlencoded: a blank becomes "+", letters, digits and "-_.*" stay,
// every other byte becomes "%" and two upper-case hexadecimal digits.
std::string formEncode(std::string_view text);

// Appends "name=value&" with both parts encoded.
void appendFormField(std::string& body, std::string_view name, std::string_view value);

// A service's "scheme://host": `given` when not empty, otherwise the environment variable when
// set (tests and the demo point the program at a stand-in so), otherwise `fallback`; without
// trailing slashes.
std::string serviceOrigin(const std::string& given, const char* variable, const char* fallback);

}  // namespace brisalune
