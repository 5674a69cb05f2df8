#include "engine/OpenMeteoSource.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <nlohmann/json.hpp>

#include "engine/HttpText.h"
#include "engine/WeatherCodes.h"
#include "model/ForecastDates.h"

namespace brisalune {

namespace {

using Json = nlohmann::json;

constexpr char kServiceOrigin[] = "https://api.open-meteo.com";
constexpr char kDailyFields[] =
    "weather_code,temperature_2m_max,temperature_2m_min,precipitation_probability_max";
// Beyond any temperature on Earth, in degrees Fahrenheit; a value past it is not a forecast.
constexpr double kTemperatureLimit = 300;
constexpr char kFahrenheit[] = "\u00B0F";
// What the service's own reason may take of a log line.
constexpr size_t kReasonLimit = 120;

SourceAnswer refuse(std::string problem) {
    return SourceAnswer{ForecastList(), std::move(problem)};
}

// A text from outside, fit for one line of the log: control characters become blanks, and it
// is cut before kReasonLimit bytes, never inside a character.
std::string logText(const std::string& text) {
    std::string line;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        line.push_back(byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
    if (line.size() > kReasonLimit) {
        size_t cut = kReasonLimit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
        line += "...";
    }
    return line;
}

enum class Reading { Number, Missing, Bad };

// The number at `i` of a daily list. Null is missing; anything else that is not a finite
// number within `limit` is bad, and so is a fraction where a whole number is wanted.
Reading numberAt(const Json& list, size_t i, double limit, bool whole, double& value) {
    const Json& item = list[i];
    if (item.is_null()) {
        return Reading::Missing;
    }
    if (!item.is_number()) {
        return Reading::Bad;
    }
    value = item.get<double>();
    if (!std::isfinite(value) || std::fabs(value) > limit ||
        (whole && std::floor(value) != value)) {
        return Reading::Bad;
    }
    return Reading::Number;
}

std::string coordinateText(double degrees) {
    char text[32];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, degrees, std::chars_format::fixed, 5);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

SourceAnswer readDays(const Json& answer) {
    const auto daily = answer.find("daily");
    if (daily == answer.end() || !daily->is_object()) {
        return refuse("the answer holds no daily forecast");
    }
    // The request asks for Fahrenheit, which is what the engine keeps; a service that says it
    // sends anything else is not believed to send Fahrenheit.
    if (const auto units = answer.find("daily_units");
        units != answer.end() && units->is_object()) {
        for (const char* name : {"temperature_2m_max", "temperature_2m_min"}) {
            const auto unit = units->find(name);
            if (unit != units->end() && *unit != kFahrenheit) {
                return refuse("its temperatures are not in degrees Fahrenheit");
            }
        }
    }
    const char* const kNeeded[] = {"time", "weather_code", "temperature_2m_max",
                                   "temperature_2m_min"};
    const Json* lists[5] = {};
    for (size_t i = 0; i < 4; ++i) {
        const auto list = daily->find(kNeeded[i]);
        if (list == daily->end() || !list->is_array()) {
            return refuse(std::string("the daily forecast has no ") + kNeeded[i] + " list");
        }
        lists[i] = &*list;
    }
    if (const auto precip = daily->find("precipitation_probability_max"); precip != daily->end()) {
        if (!precip->is_array()) {
            return refuse("the daily forecast's precipitation_probability_max is no list");
        }
        lists[4] = &*precip;
    }
    const size_t count = lists[0]->size();
    for (const Json* list : lists) {
        if (list != nullptr && list->size() != count) {
            return refuse("the daily lists differ in length");
        }
    }
    if (count == 0) {
        return refuse("the answer holds no day");
    }

    ForecastList days;
    bool ended = false;
    for (size_t i = 0; i < count; ++i) {
        const Json& time = (*lists[0])[i];
        const std::optional<CalendarDate> date =
            time.is_string() ? readDate(time.get<std::string>()) : std::nullopt;
        if (!date) {
            return refuse("the daily forecast holds a date that cannot be read");
        }
        double code = 0, high = 0, low = 0, precip = 0;
        const Reading readings[] = {
            numberAt(*lists[1], i, 1000, true, code),
            numberAt(*lists[2], i, kTemperatureLimit, false, high),
            numberAt(*lists[3], i, kTemperatureLimit, false, low),
            lists[4] != nullptr ? numberAt(*lists[4], i, 100, false, precip) : Reading::Missing,
        };
        for (Reading reading : readings) {
            if (reading == Reading::Bad) {
                return refuse("the daily forecast holds a value that is not a number in range");
            }
        }
        ended = ended || readings[0] == Reading::Missing || readings[1] == Reading::Missing ||
                readings[2] == Reading::Missing;
        if (ended || days.size() == OpenMeteoSource::kMaxDays) {
            continue;
        }
        ForecastDay day;
        const SkyCondition condition = conditionOfWmoCode(static_cast<int>(code));
        day.skycodeday = condition.skycode;
        day.skytextday = condition.wording;
        day.high = static_cast<int32_t>(std::lround(high));
        day.low = static_cast<int32_t>(std::lround(low));
        if (readings[3] == Reading::Number) {
            day.precip = std::to_string(std::lround(precip));
        }
        day.date = dateText(*date);
        day.day = weekdayName(*date);
        day.shortday = shortWeekdayName(*date);
        days.push_back(std::move(day));
    }
    if (days.empty()) {
        return refuse("the answer holds no day with weather");
    }
    return SourceAnswer{std::move(days), std::string()};
}

}  // namespace

SourceAnswer OpenMeteoSource::ParseForecast(const std::string& text) {
    if (text.empty()) {
        return refuse("no answer");
    }
    try {
        const Json answer = Json::parse(text, nullptr, false);
        if (answer.is_discarded() || !answer.is_object()) {
            return refuse("the answer is not a JSON object");
        }
        if (const auto error = answer.find("error");
            error != answer.end() && error->is_boolean() && error->get<bool>()) {
            const auto reason = answer.find("reason");
            return refuse("the service answered: " + (reason != answer.end() && reason->is_string()
                                                          ? logText(reason->get<std::string>())
                                                          : std::string("an error")));
        }
        return readDays(answer);
    } catch (const std::exception&) {
        // Only running out of memory is left to throw here; the answer is given up whole.
        return refuse("the answer could not be read");
    }
}

std::string OpenMeteoSource::RequestUrl(const Coordinates& at, const std::string& origin) {
    return serviceOrigin(origin, "BRISALUNE_FORECAST_URL", kServiceOrigin) +
           "/v1/forecast?latitude=" + coordinateText(at.latitude) +
           "&longitude=" + coordinateText(at.longitude) + "&daily=" + kDailyFields +
           "&temperature_unit=fahrenheit&timezone=auto";
}

}  // namespace brisalune
