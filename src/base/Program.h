// Where the program's files are and which version it is. Windows builds only.
#pragma once

#include <cstdint>
#include <string>

namespace brisalune {

// The running program's directory without a trailing backslash ("C:" for a program in a
// drive's root). Every file of the program lives there.
std::string programDirectory();
// The full path of the running program's file.
std::string programPath();

// Major and minor from the file version of the file's version resource. Answers 1 on success,
// otherwise the system's error code; major and minor stay as they were on failure.
unsigned long fileVersion(const std::string& path, uint16_t& major, uint16_t& minor);

// "major.minor", or with the system part the agent text the comment form sends.
std::string versionText(bool withSystem);

// UTF-8 to UTF-16, cut to capacity - 1 units (never in the middle of a surrogate pair).
std::wstring utf8ToWide(const std::string& text, size_t capacity);

}  // namespace brisalune
