#include <windows.h>
#include <io.h>

#include <cstdio>

#include "base/WideText.h"
#include "base/FileIo.h"

namespace brisalune::fileio {

FILE* open(const std::string& path, const char* mode) {
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
}

bool flushToDisk(FILE* file) {
    return _commit(_fileno(file)) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool remove(const std::string& path) {
    return DeleteFileW(widen(path).c_str()) != 0;
}

}  // namespace brisalune::fileio
