// The one place where the user's cities and their forecasts live at run time. It turns user
// actions and timer ticks into fetch jobs, takes the worker's results back, keeps citylist.xml
// up to date and tells the user-interface thread about every change.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "model/Records.h"
#include "engine/RefreshLog.h"
#include "store/CityListStore.h"
#include "store/SettingsStore.h"
#include "store/WidgetListStore.h"

namespace brisalune {

class JobQueue;
class RunEntryStore;

// Delivers a status record to the user-interface thread. On success the receiver owns the
// record and frees it after handling; on failure the record is freed here at once.
class StatusNotifier {
  public:
    virtual ~StatusNotifier() = default;
    virtual bool post(int64_t threadId, std::unique_ptr<WeatherJob> record) = 0;
};

// Drives automatic refreshes: every arming gives one refresh a second later, then one per
// period.
class RefreshTimer {
  public:
    virtual ~RefreshTimer() = default;
    // Stops the periodic timer, then arms both timers when hours is positive.
    virtual void setHours(int hours) = 0;
    // Stops the periodic timer only.
    virtual void stop() = 0;
};

struct EnginePlatform {
    std::string dataDirectory;
    JobQueue* queue = nullptr;
    StatusNotifier* notifier = nullptr;
    RefreshTimer* timer = nullptr;
    RunEntryStore* runEntry = nullptr;
};

class RefreshEngine {
  public:
    RefreshEngine();
    ~RefreshEngine();
    RefreshEngine(const RefreshEngine&) = delete;
    RefreshEngine& operator=(const RefreshEngine&) = delete;

    // The process's engine; tests construct their own.
    static RefreshEngine& instance();

    // Loads settings, cities and widget list and arms the timer. Only the first call acts.
    void initialise(const EnginePlatform& platform);
    bool initialised() const;

    void registerUiThread(int64_t threadId);

    // Readers hand out copies made under the lock: nobody outside the engine holds a pointer
    // into the table, so no reader meets a day list the worker is replacing.
    int cityCount();
    std::optional<CityRecord> cityAt(int position);

    int addCity(const WeatherJob& record);
    void removeCity(int position);
    void refreshCity(int position, int origin);
    void refreshAll(int origin);
    // The worker's result for one job: owns both from here on.
    void ApplyResult(std::unique_ptr<WeatherJob> job, ForecastList days);

    bool isFahrenheit();
    int shareDays();
    Settings copySettings();
    void applySettings(const Settings& settings);

    RefreshLog& log() { return log_; }

  private:
    void notify(const WeatherJob& record);
    void requeue(std::unique_ptr<WeatherJob> job);
    void push(std::unique_ptr<WeatherJob> job);
    void saveCities();
    void saveDaysWhenIdle();
    // Marks the city refreshing, tells the UI, and makes its fetch job; the caller queues the
    // job once the lock is released, so the UI thread never waits on the queue inside it.
    std::unique_ptr<WeatherJob> markRefreshing(CityRecord& city, int origin);
    // A dropped result whose city moved up after a removal is queued again for that city.
    void requeueMovedCity(std::unique_ptr<WeatherJob> job);

    mutable std::mutex lock_;  // EngineLock
    bool initialised_ = false;
    EnginePlatform platform_;
    SettingsStore settings_;
    CityTable table_;
    std::unique_ptr<CityListStore> cityStore_;
    WidgetListStore widgets_;
    int64_t uiThreadId_ = -1;
    // New days that the city list file does not hold yet.
    bool daysUnsaved_ = false;
    RefreshLog log_;
};

}  // namespace brisalune
