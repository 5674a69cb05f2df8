#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "base/FileIo.h"

namespace brisalune::fileio {

FILE* open(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

ReadResult read(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unreadable;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            ::close(fd);
            return got == 0 ? ReadResult::Read : ReadResult::Unreadable;
        }
    }
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
