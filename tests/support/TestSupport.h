// Shared helpers of the tests: a scratch directory, file access and fakes for the engine's
// platform seams.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
bool exists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// The file's text with CR LF turned into LF, for comparing layouts across platforms.
std::string readText(const std::string& path);

// Keeps every posted record; can be told to refuse posts.
class FakeNotifier : public StatusNotifier {
  public:
    bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) override;

    struct Note {
        int64_t threadId;
        int cityIndex;
        int status;
    };
    std::vector<Note> notes();
    void clear();
    void refuse(bool refuse);

  private:
    std::mutex mutex_;
    std::vector<Note> notes_;
    bool refuse_ = false;
};

class FakeTimer : public RefreshTimer {
  public:
    void setHours(int hours) override;
    void stop() override;
    std::vector<std::string> calls();

  private:
    std::mutex mutex_;
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
