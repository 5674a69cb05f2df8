#include "TestSupport.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "store/CityListStore.h"

namespace brisalune::test {

std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

namespace {

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        fsPath("brisalune-t\xC3\xA9st-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    path_ = utf8Of(dir);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(fsPath(path_), ignored);
}

std::string ScratchDir::file(const std::string& name) const {
    return utf8Of(fsPath(path_) / fsPath(name));
}

std::string readFile(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(fsPath(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::string readText(const std::string& path) {
    std::string text = readFile(path);
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
        text.erase(at, 1);
    }
    return text;
}

CityTable savedCities(const std::string& directory) {
    CityTable saved;
    CityListStore(directory).load(saved);
    return saved;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool FakeNotifier::post(int64_t threadId, std::unique_ptr<WeatherJob> record) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!refuse_) {
        notes_.push_back({threadId, record->cityIndex, record->status});
    }
    return !refuse_;
}

ForecastDay makeDay(int low, int high, int sky, const std::string& text) {
    return {false,    low,   high,
            sky,      text,  "2026-12-0" + std::to_string(sky % 10),
            "Sunday", "Sun", std::to_string(sky)};
}

ForecastList makeDays(int count, int base) {
    ForecastList days;
    for (int i = 0; i < count; ++i) {
        days.push_back(makeDay(base + i, base + 10 + i, (base + i) % 48));
    }
    return days;
}

}  // namespace brisalune::test
