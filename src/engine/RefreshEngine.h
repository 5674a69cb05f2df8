// The one place where the user's cities and their forecasts live at run time. It turns user
// actions and timer ticks into fetch jobs, takes the worker's results back, keeps citylist.xml
// up to date and tells the user-interface thread about every change.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "model/Records.h"
#include "engine/RefreshLog.h"
#include "engine/SaveSchedule.h"
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
    // Tells the user something that needs no answer (a message box); called on the initialising
    // thread with no lock held.
    std::function<void(const std::string& text)> tellUser = nullptr;
    // How long a new forecast may wait for the city list to be written while more results are
    // on their way, so that a refresh of many cities writes it once or twice, not once per city.
    std::chrono::milliseconds saveDelay = std::chrono::seconds(1);
    // Where Brisalune.exe stands, for the start-on-boot entry to start it from there when the
    // user's files live elsewhere; empty when they live beside it.
    std::string programDirectory = std::string();
};

class RefreshEngine {
  public:
    RefreshEngine();
    ~RefreshEngine();
    RefreshEngine(const RefreshEngine&) = delete;
    RefreshEngine& operator=(const RefreshEngine&) = delete;

    // The process's engine; tests construct their own.
    static RefreshEngine& instance();

    // Loads settings, cities and widget list and arms the timer. Only the first call acts. A file
    // that is there but stays unreadable is left as it is for the whole run, and the user is
    // told once.
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

    // Writes what still waits to be written and returns once it is on disk: Exit and the end of
    // the session call it, since the process ends right after them.
    void flush();

    RefreshLog& log() { return log_; }

  private:
    void notify(const WeatherJob& record);
    void requeue(std::unique_ptr<WeatherJob> job);
    void push(std::unique_ptr<WeatherJob> job);
    // Both take their copy under the lock and write without it; call them with the lock free.
    // saveCities answers false when the list could not be written and waits to be written again.
    bool saveCities();
    void saveSettings();
    // Lets the widget list follow an added or removed city. Called with `engineHold` on the lock;
    // releases it before the list may be written.
    void followInWidgetList(std::unique_lock<std::mutex>& engineHold, const WeatherJob& record);
    // Marks the city refreshing, tells the UI, and makes its fetch job; the caller queues the
    // job once the lock is released, so the UI thread never waits on the queue inside it.
    std::unique_ptr<WeatherJob> markRefreshing(CityRecord& city, int origin);
    // A dropped result whose city moved up after a removal is queued again for that city.
    void requeueMovedCity(std::unique_ptr<WeatherJob> job);
    void tellAboutUnreadableFiles();

    mutable std::mutex lock_;  // EngineLock
    bool initialised_ = false;
    EnginePlatform platform_;
    SettingsStore settings_;
    CityTable table_;
    std::unique_ptr<CityListStore> cityStore_;
    int64_t uiThreadId_ = -1;
    RefreshLog log_;

    // Under lock_: whether the table changed since its last copy, and the versions of the
    // newest copies taken.
    bool citiesChanged_ = false;
    uint64_t citiesCopied_ = 0;
    uint64_t settingsCopied_ = 0;
    NewestCopyWriter citiesWriter_;
    NewestCopyWriter settingsWriter_;

    // Only additions and removals move the widget list, and they write it at once: it has a lock
    // of its own, taken while holding lock_ and kept after lock_ is released for the write, so
    // the writes follow the changes in order. Never take lock_ while holding it.
    std::mutex widgetsLock_;
    WidgetListStore widgets_;

    // Last, so that it ends first: its thread writes through this engine.
    SaveTimer saveTimer_{[this] { saveCities(); }};
};

}  // namespace brisalune
