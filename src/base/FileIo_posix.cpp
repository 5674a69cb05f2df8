#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "base/FileIo.h"

namespace brisalune::fileio {

FILE* open(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool flushToDisk(FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    // The rename itself is durable only once its directory is.
    const size_t slash = to.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : to.substr(0, slash + 1);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool remove(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

}  // namespace brisalune::fileio
