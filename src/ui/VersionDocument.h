// The maker's version document and what it offers compared with the running program.
// Portable, so the reading and the comparison are tested natively.
#pragma once

#include <string>

namespace brisalune {

struct VersionOffer {
    bool hasValue = false;  // the document named a version
    std::string value;
    std::string news;
};

// Reads the root's `value` and `news` children; an element's text is that of its first child
// when it is text, otherwise empty, and a repeated element's last one counts. A text that is
// not XML, or has no root element, offers nothing.
VersionOffer readVersionDocument(const std::string& text);

struct ProgramVersion {
    unsigned major = 0;
    unsigned minor = 0;
};

// "major.minor" or "major" (blanks around it allowed; anything after the minor number, such as
// a third part, is ignored). False when the text does not start with a number.
bool parseVersion(const std::string& text, ProgramVersion& version);

// Only a version above the running one, compared number by number (1.10 is above 1.9), is
// worth announcing; an offer that cannot be read as a version is not.
bool isNewerVersion(const std::string& offered, const ProgramVersion& running);

}  // namespace brisalune
