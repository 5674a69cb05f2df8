// Shared helpers of the tests: a scratch directory, file access, waiting for other threads and
// fakes for the engine's platform seams.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "engine/RefreshEngine.h"
#include "store/RunEntry.h"

namespace brisalune::test {

// A fresh directory, removed with everything in it at the end of the test. Its name holds
// non-ASCII letters so every path the program builds is exercised with them.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

  private:
    std::string path_;
};

std::filesystem::path fsPath(const std::string& utf8);
inline bool exists(const std::string& path) {
    return std::filesystem::exists(fsPath(path));
}
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// The file's text with CR LF turned into LF, for comparing layouts across platforms.
std::string readText(const std::string& path);
// The city list the next start would find in the directory.
CityTable savedCities(const std::string& directory);

// Waits for a condition that another thread makes true; gives up after a generous bound, so a
// fault shows as a failure rather than a hang.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds bound = std::chrono::seconds(20));

// Runs `hook` between a save's flushed temporary file and its replace, for its scope.
class ReplaceHook {
  public:
    explicit ReplaceHook(std::function<bool(const std::string& target)> hook) {
        fileio::setBeforeReplaceHookForTests(std::move(hook));
    }
    ~ReplaceHook() { fileio::setBeforeReplaceHookForTests(nullptr); }
    ReplaceHook(const ReplaceHook&) = delete;
    ReplaceHook& operator=(const ReplaceHook&) = delete;
};

// Keeps every posted record; can be told to refuse posts.
class FakeNotifier : public StatusNotifier {
  public:
    bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) override;

    struct Note {
        int64_t threadId;
        int cityIndex;
        int status;
    };
    std::vector<Note> notes() {
        std::lock_guard<std::mutex> hold(mutex_);
        return notes_;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(mutex_);
        notes_.clear();
    }
    void refuse(bool refuse) {
        std::lock_guard<std::mutex> hold(mutex_);
        refuse_ = refuse;
    }

  private:
    std::mutex mutex_;
    std::vector<Note> notes_;
    bool refuse_ = false;
};

// The engine calls its timer under its own lock.
class FakeTimer : public RefreshTimer {
  public:
    void setHours(int hours) override { calls_.push_back("setHours " + std::to_string(hours)); }
    void stop() override { calls_.push_back("stop"); }
    const std::vector<std::string>& calls() const { return calls_; }

  private:
    std::vector<std::string> calls_;
};

class FakeRunEntry : public RunEntryStore {
  public:
    bool IsRunEntryPresent() override { return present; }
    void AddRunEntry(const std::string& commandLine) override {
        present = true;
        value = commandLine;
        ++adds;
    }
    void RemoveRunEntry() override {
        present = false;
        value.clear();
        ++removes;
    }

    bool present = false;
    std::string value;
    int adds = 0;
    int removes = 0;
};

// A day with recognisable values.
ForecastDay makeDay(int low, int high, int sky, const std::string& text = "Sunny");
ForecastList makeDays(int count, int base = 40);

}  // namespace brisalune::test
