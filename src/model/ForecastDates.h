// The dates of forecast days: reading them, their English weekday names, and which stored days
// still lie ahead. Everything that shows a city's forecast starts from the day this choice
// gives, so a row never shows yesterday's weather as the current forecast.
#pragma once

#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/Records.h"

namespace brisalune {

struct CalendarDate {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to the month's length

    auto operator<=>(const CalendarDate&) const = default;
};

// A date written "YYYY-MM-DD" (month and day may have one digit), as both weather services
// write them; anything after the day, such as a time, is ignored when it starts with 'T' or a
// blank. None for any other text or for a day the calendar does not have.
std::optional<CalendarDate> readDate(std::string_view text);
std::string dateText(const CalendarDate& date);

// The date `days` days later (earlier when negative).
CalendarDate addDays(const CalendarDate& date, int days);

// "Monday" to "Sunday", and "Mon" to "Sun".
std::string weekdayName(const CalendarDate& date);
std::string shortWeekdayName(const CalendarDate& date);

// The computer's local date now.
CalendarDate localToday();

// Where a city's forecast starts when shown on `today`.
struct CurrentDays {
    // The first day dated today or later. A day whose date cannot be read is not known to be
    // past, so it counts as current: a list without readable dates starts at its first day.
    size_t first = 0;
    // Every day is dated before today: nothing is left to show.
    bool outdated = false;
};
CurrentDays currentDays(const ForecastList& days, const CalendarDate& today);

// The days to show on `today`: from the first current one on; none when every day is past.
ForecastList daysToShow(const ForecastList& days, const CalendarDate& today);
// The city as it is shown on `today`: the same identity with only those days.
CityRecord shownOn(const CityRecord& city, const CalendarDate& today);

}  // namespace brisalune
