#include "base/FileIo.h"

#include <mutex>

namespace brisalune::fileio {

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<bool(const std::string&)>& beforeReplaceHook() {
    static std::function<bool(const std::string&)> hook;
    return hook;
}

}  // namespace

void setBeforeReplaceHookForTests(std::function<bool(const std::string& target)> hook) {
    std::lock_guard<std::mutex> hold(hookMutex());
    beforeReplaceHook() = std::move(hook);
}

bool readAll(const std::string& path, std::string& bytes) {
    bytes.clear();
    FILE* file = open(path, "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool writeAtomically(const std::string& target, const std::function<bool(FILE*)>& write,
                     const char* mode) {
    const std::string temporary = target + ".tmp";
    FILE* file = open(temporary, mode);
    if (file == nullptr) {
        return false;
    }
    bool ok = write(file);
    ok = std::fflush(file) == 0 && ok;
    ok = std::ferror(file) == 0 && ok;
    ok = ok && flushToDisk(file);
    ok = std::fclose(file) == 0 && ok;
    if (ok) {
        std::function<bool(const std::string&)> hook;
        {
            std::lock_guard<std::mutex> hold(hookMutex());
            hook = beforeReplaceHook();
        }
        if (hook && !hook(target)) {
            // A simulated crash leaves the temporary file behind, as a real one would.
            return false;
        }
        ok = replace(temporary, target);
    }
    if (!ok) {
        remove(temporary);
    }
    return ok;
}

}  // namespace brisalune::fileio
