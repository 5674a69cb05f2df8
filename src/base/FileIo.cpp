#include "base/FileIo.h"

#include <mutex>
#include <set>
#include <thread>

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

std::mutex& untouchedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& untouched() {
    static std::set<std::string> paths;
    return paths;
}

}  // namespace

void setBeforeReplaceHookForTests(std::function<bool(const std::string& target)> hook) {
    std::lock_guard<std::mutex> hold(hookMutex());
    beforeReplaceHook() = std::move(hook);
}

bool readAll(const std::string& path, std::string& bytes) {
    return read(path, bytes) == ReadResult::Read;
}

ReadResult readPatiently(const std::string& path, std::string& bytes,
                         std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    ReadResult result = read(path, bytes);
    while (result == ReadResult::Unreadable && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        result = read(path, bytes);
    }
    if (result == ReadResult::Unreadable) {
        std::lock_guard<std::mutex> hold(untouchedMutex());
        untouched().insert(path);
    }
    return result;
}

bool keptUntouched(const std::string& path) {
    std::lock_guard<std::mutex> hold(untouchedMutex());
    return untouched().count(path) != 0;
}

bool writeAtomically(const std::string& target, const std::function<bool(FILE*)>& write,
                     const char* mode) {
    if (keptUntouched(target)) {
        return false;
    }
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
