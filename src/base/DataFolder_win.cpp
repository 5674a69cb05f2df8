#include <windows.h>
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "base/DataFolder.h"
#include "base/FileIo.h"
#include "base/Program.h"
#include "base/Texts.h"
#include "base/WideText.h"

namespace brisalune {

namespace {

bool makeDirectory(const std::string& directory) {
    return CreateDirectoryW(widen(directory).c_str(), nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

// Copies one user file into the per-user folder unless it is there already. False when a file
// beside the program is there but cannot be read, or its copy cannot be written.
bool copyWhenMissing(const std::string& from, const std::string& to) {
    std::string bytes;
    if (fileio::read(to, bytes) != fileio::ReadResult::Missing) {
        return true;
    }
    switch (fileio::readPatiently(from, bytes)) {
        case fileio::ReadResult::Missing:
            return true;
        case fileio::ReadResult::Unreadable:
            return false;
        case fileio::ReadResult::Read:
            break;
    }
    return fileio::writeAtomically(
        to,
        [&](FILE* file) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        },
        "wb");
}

}  // namespace

bool isWritableDirectory(const std::string& directory) {
    if (directory.empty()) {
        return false;
    }
    // A name of this process's own, so two starts at once do not meet; the system removes the
    // file when its handle closes, even when the process ends in between.
    const std::string probe =
        joinPath(directory, "~brisalune-" + std::to_string(GetCurrentProcessId()) + ".tmp");
    const HANDLE file = CreateFileW(
        widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::string perUserDataDirectory() {
    PWSTR folder = nullptr;
    std::string directory;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder))) {
        directory = joinPath(narrow(folder), "Brisalune");
    }
    CoTaskMemFree(folder);
    return directory;
}

std::string chooseDataDirectory(const std::string& programDirectory, bool programDirectoryWritable,
                                const std::string& perUserDirectory) {
    if (programDirectoryWritable || perUserDirectory.empty() || !makeDirectory(perUserDirectory)) {
        return programDirectory;
    }
    if (!programDirectory.empty()) {
        for (const char* name : kUserFiles) {
            if (!copyWhenMissing(joinPath(programDirectory, name),
                                 joinPath(perUserDirectory, name))) {
                return programDirectory;
            }
        }
    }
    return perUserDirectory;
}

std::string dataDirectory() {
    static const std::string chosen = [] {
        const std::string program = programDirectory();
        return chooseDataDirectory(program, isWritableDirectory(program), perUserDataDirectory());
    }();
    return chosen;
}

}  // namespace brisalune
