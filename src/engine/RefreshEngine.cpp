#include "engine/RefreshEngine.h"

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "base/FileIo.h"
#include "base/Texts.h"
#include "engine/JobQueue.h"

namespace brisalune {

namespace {
constexpr int kFlushAttempts = 20;
constexpr std::chrono::milliseconds kFlushRetryPause(100);
}  // namespace

RefreshEngine::RefreshEngine() : settings_("0", "1", "3", "1") {}

RefreshEngine::~RefreshEngine() {
    flush();
}

RefreshEngine& RefreshEngine::instance() {
    static RefreshEngine engine;
    return engine;
}

void RefreshEngine::initialise(const EnginePlatform& platform) {
    std::optional<SettingsStore> settings;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (initialised_) {
            return;
        }
        settings = settings_;
    }
    // Read without the lock: a file another program holds keeps its read trying for a while.
    settings->attach(
        platform.dataDirectory,
        platform.programDirectory.empty() ? platform.dataDirectory : platform.programDirectory,
        platform.runEntry);
    settings->Load();
    auto cityStore = std::make_unique<CityListStore>(platform.dataDirectory);
    CityTable table;
    cityStore->load(table);
    WidgetListStore widgets(platform.dataDirectory);
    widgets.Load();
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (initialised_) {
            return;
        }
        platform_ = platform;
        settings_ = *settings;
        table_ = std::move(table);
        cityStore_ = std::move(cityStore);
        {
            std::lock_guard<std::mutex> holdWidgets(widgetsLock_);
            widgets_ = std::move(widgets);
        }
        if (platform_.timer != nullptr) {
            platform_.timer->setHours(decimalValue(settings_.values.timeval));
        }
        uiThreadId_ = -1;
        log_.clear();
        initialised_ = true;
    }
    tellAboutUnreadableFiles();
}

void RefreshEngine::tellAboutUnreadableFiles() {
    if (platform_.dataDirectory.empty()) {
        return;
    }
    std::string paths;
    for (const char* name : {"citylist.xml", "settings.xml", "widgetlist.xml"}) {
        const std::string path = joinPath(platform_.dataDirectory, name);
        if (fileio::keptUntouched(path)) {
            log_.append("\r\n" + path + " cannot be read, left as it is " + timeText());
            paths += path + "\n";
        }
    }
    if (!paths.empty() && platform_.tellUser) {
        platform_.tellUser(
            "Brisalune cannot read these files; another program may be using them:\n\n" + paths +
            "\nThey are left as they are: until Brisalune starts again, nothing is "
            "saved over them.");
    }
}

bool RefreshEngine::initialised() const {
    std::lock_guard<std::mutex> hold(lock_);
    return initialised_;
}

void RefreshEngine::registerUiThread(int64_t threadId) {
    std::lock_guard<std::mutex> hold(lock_);
    uiThreadId_ = threadId;
}

int RefreshEngine::cityCount() {
    std::lock_guard<std::mutex> hold(lock_);
    return table_.count();
}

std::optional<CityRecord> RefreshEngine::cityAt(int position) {
    std::lock_guard<std::mutex> hold(lock_);
    const CityRecord* city = table_.at(position);
    if (city == nullptr) {
        return std::nullopt;
    }
    return *city;
}

void RefreshEngine::notify(const WeatherJob& record) {
    if (uiThreadId_ == -1 || platform_.notifier == nullptr) {
        return;
    }
    // The receiver gets its own copy: the city's record may change or go before it looks.
    platform_.notifier->post(uiThreadId_, std::make_unique<WeatherJob>(record));
}

bool RefreshEngine::saveCities() {
    std::optional<CityTable> copy;
    uint64_t version = 0;
    const CityListStore* store = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (citiesChanged_ && cityStore_) {
            citiesChanged_ = false;
            copy = table_;
            ++citiesCopied_;
        }
        version = citiesCopied_;
        store = cityStore_.get();
    }
    if (!copy) {
        // Another thread holds the newest copy: this returns once that one is settled.
        citiesWriter_.waitFor(version);
    } else {
        bool saved = false;
        citiesWriter_.write(version, [&] { saved = store->save(*copy); });
        // A file kept untouched for this run is never written; any other failure is most often
        // another program holding the file for a moment (a scanner, a backup, a reader), so
        // the list is written again shortly rather than at the next change only.
        if (!saved && !fileio::keptUntouched(store->path())) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                citiesChanged_ = true;
            }
            saveTimer_.runBy(std::chrono::steady_clock::now() + platform_.saveDelay);
        }
    }
    std::lock_guard<std::mutex> hold(lock_);
    return !citiesChanged_ || cityStore_ == nullptr || fileio::keptUntouched(cityStore_->path());
}

void RefreshEngine::followInWidgetList(std::unique_lock<std::mutex>& engineHold,
                                       const WeatherJob& record) {
    const WeatherJob copy = record;
    const int count = table_.count();
    std::lock_guard<std::mutex> holdWidgets(widgetsLock_);
    engineHold.unlock();
    widgets_.OnJobStatus(copy, count);
}

void RefreshEngine::flush() {
    // The process ends after this: a list another program holds for a moment gets a few more
    // tries, then what could not be written is given up.
    for (int attempt = 1; !saveCities() && attempt < kFlushAttempts; ++attempt) {
        std::this_thread::sleep_for(kFlushRetryPause);
    }
    uint64_t settingsVersion = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        settingsVersion = settingsCopied_;
    }
    settingsWriter_.waitFor(settingsVersion);
    // A widget list write in progress ends before this lock is ours.
    std::lock_guard<std::mutex> holdWidgets(widgetsLock_);
}

void RefreshEngine::push(std::unique_ptr<WeatherJob> job) {
    job->kind = JOB_FETCH;
    job->status = -1;
    if (platform_.queue != nullptr) {
        platform_.queue->Push(std::move(job));
    }
}

std::unique_ptr<WeatherJob> RefreshEngine::markRefreshing(CityRecord& city, int origin) {
    city.info.status = STATUS_REFRESHING;
    notify(city.info);
    auto job = std::make_unique<WeatherJob>(city.info);
    job->setOrigin(origin);
    return job;
}

int RefreshEngine::addCity(const WeatherJob& record) {
    std::unique_lock<std::mutex> hold(lock_);
    const int position = table_.count();
    table_.append(CityRecord(position, record.name, record.param, record.origin));
    citiesChanged_ = true;
    CityRecord& city = *table_.at(position);
    city.info.status = STATUS_ADDED;
    followInWidgetList(hold, city.info);
    saveCities();
    return position;
}

void RefreshEngine::removeCity(int position) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!table_.removeAt(position)) {
        return;
    }
    // Cities behind the removed one take their new positions, so their results keep matching.
    for (int i = position; i < table_.count(); ++i) {
        table_.at(i)->info.cityIndex = i;
    }
    citiesChanged_ = true;
    WeatherJob record(position, std::string(), std::string(), ORIGIN_USER);
    record.status = STATUS_REMOVED;
    notify(record);
    followInWidgetList(hold, record);
    saveCities();
}

void RefreshEngine::refreshCity(int position, int origin) {
    std::unique_ptr<WeatherJob> job;
    {
        std::lock_guard<std::mutex> hold(lock_);
        CityRecord* city = table_.at(position);
        if (city == nullptr) {
            return;
        }
        job = markRefreshing(*city, origin);
    }
    push(std::move(job));
}

void RefreshEngine::refreshAll(int origin) {
    std::vector<std::unique_ptr<WeatherJob>> jobs;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (int i = 0; i < table_.count(); ++i) {
            jobs.push_back(markRefreshing(*table_.at(i), origin));
        }
    }
    for (auto& job : jobs) {
        push(std::move(job));
    }
}

void RefreshEngine::requeue(std::unique_ptr<WeatherJob> job) {
    push(std::move(job));
}

void RefreshEngine::requeueMovedCity(std::unique_ptr<WeatherJob> job) {
    // Cities only ever move towards the front, so the city this job was made for is the last
    // one at or before its old position with the same identity that still waits for a result:
    // refreshing, or failed between two tries of a timer refresh.
    const int last = std::min(job->cityIndex, table_.count() - 1);
    for (int i = last; i >= 0; --i) {
        const CityRecord& city = *table_.at(i);
        const bool waiting =
            city.info.status == STATUS_REFRESHING || city.info.status == STATUS_FAILED;
        if (waiting && city.info.name == job->name && city.info.param == job->param) {
            job->cityIndex = i;
            requeue(std::move(job));
            return;
        }
    }
}

void RefreshEngine::ApplyResult(std::unique_ptr<WeatherJob> job, ForecastList days) {
    std::lock_guard<std::mutex> hold(lock_);
    CityRecord* city = table_.FindMatching(*job);
    if (city == nullptr) {
        requeueMovedCity(std::move(job));
    } else if (const bool ok = city->ReplaceForecast(days); ok || !job->canRetry()) {
        std::string line = "\r\n" + job->ResultText(ok);
        if (ok) {
            // The source that had the days is asked first next time, and the log says which.
            city->info.source = job->source;
            line += std::string(" from ") + sourceName(job->source);
        }
        log_.append(line + " " + timeText());
        citiesChanged_ = citiesChanged_ || ok;
        notify(city->info);
    } else {
        log_.append("\r\n" + job->name + "failure, retry at " + timeText());
        job->consumeRetry();
        requeue(std::move(job));
    }
    if (citiesChanged_) {
        // The saver's thread writes the list, not the worker: at once after the last result of a
        // refresh, otherwise within the delay, so no forecast waits for a slow city to be saved.
        const bool idle = platform_.queue == nullptr || platform_.queue->size() == 0;
        saveTimer_.runBy(std::chrono::steady_clock::now() +
                         (idle ? std::chrono::milliseconds(0) : platform_.saveDelay));
    }
}

bool RefreshEngine::isFahrenheit() {
    std::lock_guard<std::mutex> hold(lock_);
    return settings_.values.unit == "0";
}

int RefreshEngine::shareDays() {
    std::lock_guard<std::mutex> hold(lock_);
    return decimalValue(settings_.values.days);
}

Settings RefreshEngine::copySettings() {
    std::lock_guard<std::mutex> hold(lock_);
    return settings_.values;
}

void RefreshEngine::applySettings(const Settings& wanted) {
    std::optional<SettingsStore> copy;
    uint64_t version = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Settings& current = settings_.values;
        bool changed = false;
        if (wanted.unit != current.unit) {
            current.unit = wanted.unit;
            WeatherJob record(-1, std::string(), std::string(), ORIGIN_USER);
            record.status = STATUS_SETTINGS_CHANGED;
            notify(record);
            changed = true;
        }
        if (wanted.timeval != current.timeval) {
            current.timeval = wanted.timeval;
            const int hours = decimalValue(current.timeval);
            if (platform_.timer != nullptr) {
                if (hours < 1) {
                    platform_.timer->stop();
                } else {
                    platform_.timer->setHours(hours);
                }
            }
            changed = true;
        }
        if (wanted.days != current.days) {
            current.days = wanted.days;
            changed = true;
        }
        if (wanted.startonboot != current.startonboot) {
            current.startonboot = wanted.startonboot;
            changed = true;
        }
        if (!changed) {
            return;
        }
        copy = settings_;
        version = ++settingsCopied_;
    }
    // The file and the start-on-boot entry, written from the copy.
    settingsWriter_.write(version, [&] { copy->Save(); });
}

}  // namespace brisalune
