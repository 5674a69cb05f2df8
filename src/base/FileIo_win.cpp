#include <windows.h>
#include <io.h>

#include <cstdio>

#include "base/WideText.h"
#include "base/FileIo.h"

namespace brisalune::fileio {

FILE* open(const std::string& path, const char* mode) {
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
}

ReadResult read(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Other programs may go on reading and writing; only our own reading needs the file.
    const HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? ReadResult::Missing
                   : ReadResult::Unreadable;
    }
    char buffer[65536];
    DWORD got = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return ok ? ReadResult::Read : ReadResult::Unreadable;
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
