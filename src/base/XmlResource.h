// The catalogue's XML documents, carried as resources of type "XML" in the program and read
// from res/catalogue in native builds, under the same names.
#pragma once

#include <optional>
#include <string>

namespace brisalune {

// The bytes of the named document, or none when there is no such document. Names are matched
// without regard to letter case ("IDR_countrylist" finds IDR_COUNTRYLIST). The bytes are a copy
// that owns itself: nothing has to be released, and the length travels with them, since the
// stored document carries no terminating zero.
std::optional<std::string> loadXmlResource(const std::string& name);

#ifndef _WIN32
// Native builds read IDR_<NAME> from <directory>/<name>.xml, <name> in lower case. The
// directory starts as the source tree's res/catalogue; tests point it elsewhere.
void setXmlResourceDirectory(std::string directory);
std::string xmlResourceDirectory();
#endif

}  // namespace brisalune
