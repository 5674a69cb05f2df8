#include "engine/RefreshEngine.h"

#include <algorithm>
#include <vector>

#include "base/Texts.h"
#include "engine/JobQueue.h"

namespace brisalune {

RefreshEngine::RefreshEngine() : settings_("0", "1", "3", "1") {}

RefreshEngine::~RefreshEngine() = default;

RefreshEngine& RefreshEngine::instance() {
    static RefreshEngine engine;
    return engine;
}

void RefreshEngine::initialise(const EnginePlatform& platform) {
    std::lock_guard<std::mutex> hold(lock_);
    if (initialised_) {
        return;
    }
    platform_ = platform;
    settings_.attach(platform.dataDirectory, platform.runEntry);
    settings_.Load();
    cityStore_ = std::make_unique<CityListStore>(platform.dataDirectory);
    table_.clear();
    cityStore_->load(table_);
    widgets_ = WidgetListStore(platform.dataDirectory);
    widgets_.Load();
    if (platform_.timer != nullptr) {
        platform_.timer->setHours(decimalValue(settings_.values.timeval));
    }
    uiThreadId_ = -1;
    log_.clear();
    initialised_ = true;
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

void RefreshEngine::saveCities() {
    daysUnsaved_ = false;
    if (cityStore_) {
        cityStore_->save(table_);
    }
}

void RefreshEngine::saveDaysWhenIdle() {
    // A refresh of many cities rewrites the list once, after its last result, not once per
    // city: the file is written in whole each time, and forced to disk.
    if (daysUnsaved_ && (platform_.queue == nullptr || platform_.queue->size() == 0)) {
        saveCities();
    }
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
    widgets_.OnJobStatus(city.info, table_.count());
    auto job = std::make_unique<WeatherJob>(city.info);
    job->setOrigin(origin);
    return job;
}

int RefreshEngine::addCity(const WeatherJob& record) {
    std::lock_guard<std::mutex> hold(lock_);
    const int position = table_.count();
    table_.append(CityRecord(position, record.name, record.param, record.origin));
    saveCities();
    CityRecord& city = *table_.at(position);
    city.info.status = STATUS_ADDED;
    widgets_.OnJobStatus(city.info, table_.count());
    return position;
}

void RefreshEngine::removeCity(int position) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!table_.removeAt(position)) {
        return;
    }
    // Cities behind the removed one take their new positions, so their results keep matching.
    for (int i = position; i < table_.count(); ++i) {
        table_.at(i)->info.cityIndex = i;
    }
    saveCities();
    WeatherJob record(position, std::string(), std::string(), ORIGIN_USER);
    record.status = STATUS_REMOVED;
    notify(record);
    widgets_.OnJobStatus(record, table_.count());
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
        saveDaysWhenIdle();
        return;
    }
    const bool ok = city->ReplaceForecast(days);
    if (ok || !job->canRetry()) {
        log_.append("\r\n" + job->ResultText(ok) + " " + timeText());
        daysUnsaved_ = daysUnsaved_ || ok;
        notify(city->info);
        widgets_.OnJobStatus(city->info, table_.count());
        saveDaysWhenIdle();
        return;
    }
    log_.append("\r\n" + job->name + "failure, retry at " + timeText());
    job->consumeRetry();
    requeue(std::move(job));
    saveDaysWhenIdle();
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
    std::lock_guard<std::mutex> hold(lock_);
    Settings& current = settings_.values;
    bool changed = false;
    if (wanted.unit != current.unit) {
        current.unit = wanted.unit;
        WeatherJob record(-1, std::string(), std::string(), ORIGIN_USER);
        record.status = STATUS_SETTINGS_CHANGED;
        notify(record);
        widgets_.OnJobStatus(record, table_.count());
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
    if (changed) {
        settings_.Save();
    }
}

}  // namespace brisalune
