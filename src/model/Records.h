// The records every part of the forecast engine and the user interface pass around.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisalune {

// What the network worker is to do with a job.
inline constexpr int JOB_FETCH = 111001;
inline constexpr int JOB_STOP = 333000;

// A city's last status, and the status of the records posted to the user-interface thread.
inline constexpr int STATUS_ADDED = 222020;
inline constexpr int STATUS_REFRESHING = 222021;
inline constexpr int STATUS_UPDATED = 222022;
inline constexpr int STATUS_FAILED = 222023;
inline constexpr int STATUS_REMOVED = 222024;
inline constexpr int STATUS_SETTINGS_CHANGED = 222025;

// Who started a piece of work; only timer work is retried.
inline constexpr int ORIGIN_TIMER = 22334455;
inline constexpr int ORIGIN_USER = 11223344;

inline constexpr int RETRY_BUDGET = 5;

// Where a city's forecast comes from: the weather service, by the city's location parameter, or
// Open-Meteo, by the city's coordinates in the catalogue.
enum class ForecastSource : int32_t { WeatherService = 0, OpenMeteo = 1 };

// The name the refresh log and the city list give a source.
const char* sourceName(ForecastSource source);

// Reads a number the way the service's and the files' texts are read: optional leading white
// space, an optional sign, then digits up to the first other character. No digits gives 0;
// values beyond the 32-bit range saturate.
int decimalValue(const std::string& text);

struct ForecastDay {
    bool alert = false;
    int32_t low = 0;
    int32_t high = 0;
    int32_t skycodeday = 0;
    std::string skytextday;
    std::string date;
    std::string day;
    std::string shortday;
    std::string precip;

    bool operator==(const ForecastDay&) const = default;
};

// Sets the field named by one of the service's forecast attributes (low, high, skycodeday,
// skytextday, date, day, shortday, precip); answers false for any other name.
bool setForecastAttribute(ForecastDay& day, const std::string& name, const std::string& value);

// The owned, ordered day list of one city.
using ForecastList = std::vector<ForecastDay>;

class WeatherJob {
  public:
    WeatherJob() = default;
    WeatherJob(int32_t cityIndex, std::string name, std::string param, int32_t origin);
    // A copy starts again with the full retry budget of its origin.
    WeatherJob(const WeatherJob& other);
    WeatherJob& operator=(const WeatherJob& other);
    virtual ~WeatherJob() = default;

    void setOrigin(int32_t origin);
    bool canRetry() const { return origin == ORIGIN_TIMER && retriesLeft > 0; }
    void consumeRetry();
    // The refresh log's wording of a final result.
    std::string ResultText(bool success) const;

    int32_t cityIndex = -1;
    std::string name;
    std::string param;
    int32_t kind = -1;
    int32_t status = -1;
    int32_t origin = ORIGIN_USER;
    int32_t retriesLeft = 0;
    // The source that last gave the city a good forecast, asked first at its next fetch. A job
    // comes back from the worker naming the source whose days it brings.
    ForecastSource source = ForecastSource::WeatherService;
};

class CityRecord {
  public:
    CityRecord() = default;
    CityRecord(int32_t cityIndex, std::string name, std::string param, int32_t origin);

    void addDay(ForecastDay day) { days_.push_back(std::move(day)); }
    // Takes the list when it holds a day; an empty list marks the city failed and keeps the
    // last good days, so the widget goes on showing them.
    bool ReplaceForecast(ForecastList& list);
    const ForecastList& days() const { return days_; }

    WeatherJob info;

  private:
    ForecastList days_;
};

class CityTable {
  public:
    int count() const { return static_cast<int>(cities_.size()); }
    CityRecord* at(int position);
    const CityRecord* at(int position) const;
    int append(CityRecord city);
    bool removeAt(int position);
    void clear() { cities_.clear(); }
    // The city the job was made for: position, name and parameter must all match exactly.
    CityRecord* FindMatching(const WeatherJob& job);

  private:
    std::vector<CityRecord> cities_;
};

}  // namespace brisalune
