// File access by UTF-8 path, the same on every platform the core runs on.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace brisalune::fileio {

// Opens with a UTF-8 path (the wide-character call on Windows, where the narrow one would use
// the ANSI code page and miss non-ASCII folders).
FILE* open(const std::string& path, const char* mode);

enum class ReadResult {
    Read,
    Missing,     // not found, or its folder is not: nothing to keep
    Unreadable,  // there, but held without sharing, not allowed, or a read failed
};

// The whole file in one attempt.
ReadResult read(const std::string& path, std::string& bytes);

// The whole file; false when it is missing or cannot be read.
bool readAll(const std::string& path, std::string& bytes);

// Virus scanners and sync programs hold a file for a moment, so a start-up read of the user's
// data tries an unreadable file again until `patience` has passed. A file that stays unreadable
// is kept untouched for the rest of the run: writeAtomically refuses to replace it, so what the
// user had is never written over with defaults.
inline constexpr std::chrono::milliseconds kReadPatience{3000};
ReadResult readPatiently(const std::string& path, std::string& bytes,
                         std::chrono::milliseconds patience = kReadPatience);
bool keptUntouched(const std::string& path);

// Makes the written data durable before the caller replaces anything with it.
bool flushToDisk(FILE* file);

// Moves `from` over `to` in one step, so a reader sees the old file or the new one, never a mix.
bool replace(const std::string& from, const std::string& to);

bool remove(const std::string& path);

// Writes `target` through a temporary file beside it: write, flush, then replace. `write`
// fills the open file (opened in text mode, as the store files have always been written) and
// answers whether it succeeded. On any failure the target is untouched and the temporary file
// is removed.
bool writeAtomically(const std::string& target, const std::function<bool(FILE*)>& write,
                     const char* mode = "w");

// Lets tests stop a save between the flushed temporary file and the replace, as a crash or a
// power cut there would. Return false from the hook to abandon the save.
void setBeforeReplaceHookForTests(std::function<bool(const std::string& target)> hook);

}  // namespace brisalune::fileio
