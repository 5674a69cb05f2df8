#include "model/Records.h"

#include <climits>

namespace brisalune {

int decimalValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

bool setForecastAttribute(ForecastDay& day, const std::string& name, const std::string& value) {
    if (name == "low") {
        day.low = decimalValue(value);
    } else if (name == "high") {
        day.high = decimalValue(value);
    } else if (name == "skycodeday") {
        day.skycodeday = decimalValue(value);
    } else if (name == "skytextday") {
        day.skytextday = value;
    } else if (name == "date") {
        day.date = value;
    } else if (name == "day") {
        day.day = value;
    } else if (name == "shortday") {
        day.shortday = value;
    } else if (name == "precip") {
        day.precip = value;
    } else {
        return false;
    }
    return true;
}

const char* sourceName(ForecastSource source) {
    return source == ForecastSource::OpenMeteo ? "Open-Meteo" : "MSN";
}

WeatherJob::WeatherJob(int32_t cityIndex, std::string name, std::string param, int32_t origin)
    : cityIndex(cityIndex), name(std::move(name)), param(std::move(param)) {
    setOrigin(origin);
}

WeatherJob::WeatherJob(const WeatherJob& other)
    : cityIndex(other.cityIndex),
      name(other.name),
      param(other.param),
      kind(other.kind),
      status(other.status),
      source(other.source) {
    setOrigin(other.origin);
}

WeatherJob& WeatherJob::operator=(const WeatherJob& other) {
    if (this != &other) {
        cityIndex = other.cityIndex;
        name = other.name;
        param = other.param;
        kind = other.kind;
        status = other.status;
        source = other.source;
        setOrigin(other.origin);
    }
    return *this;
}

void WeatherJob::setOrigin(int32_t newOrigin) {
    origin = newOrigin;
    retriesLeft = origin == ORIGIN_TIMER ? RETRY_BUDGET : 0;
}

void WeatherJob::consumeRetry() {
    if (origin == ORIGIN_TIMER) {
        --retriesLeft;
    }
}

std::string WeatherJob::ResultText(bool success) const {
    if (origin == ORIGIN_TIMER) {
        if (!success) {
            return name + " retry failure";
        }
        if (retriesLeft >= RETRY_BUDGET) {
            return name + " success";
        }
        return name + " success(retried " + std::to_string(RETRY_BUDGET - retriesLeft) + " times)";
    }
    return name + (success ? " success(gui)" : " failure(gui)");
}

CityRecord::CityRecord(int32_t cityIndex, std::string name, std::string param, int32_t origin)
    : info(cityIndex, std::move(name), std::move(param), origin) {}

bool CityRecord::ReplaceForecast(ForecastList& list) {
    if (list.empty()) {
        info.status = STATUS_FAILED;
        return false;
    }
    days_ = std::move(list);
    list.clear();
    info.status = STATUS_UPDATED;
    return true;
}

CityRecord* CityTable::at(int position) {
    if (position < 0 || position >= count()) {
        return nullptr;
    }
    return &cities_[static_cast<size_t>(position)];
}

const CityRecord* CityTable::at(int position) const {
    return const_cast<CityTable*>(this)->at(position);
}

int CityTable::append(CityRecord city) {
    cities_.push_back(std::move(city));
    return count() - 1;
}

bool CityTable::removeAt(int position) {
    if (position < 0 || position >= count()) {
        return false;
    }
    cities_.erase(cities_.begin() + position);
    return true;
}

CityRecord* CityTable::FindMatching(const WeatherJob& job) {
    CityRecord* city = at(job.cityIndex);
    if (city == nullptr || city->info.name != job.name || city->info.param != job.param) {
        return nullptr;
    }
    return city;
}

}  // namespace brisalune
