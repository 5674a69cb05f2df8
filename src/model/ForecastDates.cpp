#include "model/ForecastDates.h"

#include <cstdio>

#include "base/Texts.h"

namespace brisalune {

namespace {

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int monthLength(int year, int month) {
    static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kLengths[month - 1];
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back: the era
// arithmetic of "chrono-compatible low-level date algorithms", which needs no time zone.
long long daysFromCivil(const CalendarDate& date) {
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<long long>(era) * 146097 + dayOfEra - 719468;
}

CalendarDate civilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    CalendarDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

// 0 for Monday.
int weekdayIndex(const CalendarDate& date) {
    const long long days = daysFromCivil(date);
    // 1970-01-01 was a Thursday.
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

// Reads up to `most` digits; false when there is none.
bool readNumber(std::string_view text, size_t& at, size_t most, int& value) {
    value = 0;
    size_t digits = 0;
    while (at < text.size() && digits < most && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++digits;
    }
    return digits > 0;
}

const char* const kWeekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};

}  // namespace

std::optional<CalendarDate> readDate(std::string_view text) {
    CalendarDate date;
    size_t at = 0;
    if (!readNumber(text, at, 4, date.year) || at != 4 || at >= text.size() || text[at] != '-') {
        return std::nullopt;
    }
    ++at;
    if (!readNumber(text, at, 2, date.month) || at >= text.size() || text[at] != '-') {
        return std::nullopt;
    }
    ++at;
    if (!readNumber(text, at, 2, date.day)) {
        return std::nullopt;
    }
    if (at < text.size() && text[at] != 'T' && text[at] != ' ') {
        return std::nullopt;
    }
    if (date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > monthLength(date.year, date.month)) {
        return std::nullopt;
    }
    return date;
}

std::string dateText(const CalendarDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

CalendarDate addDays(const CalendarDate& date, int days) {
    return civilFromDays(daysFromCivil(date) + days);
}

std::string weekdayName(const CalendarDate& date) {
    return kWeekdays[weekdayIndex(date)];
}

std::string shortWeekdayName(const CalendarDate& date) {
    return std::string(kWeekdays[weekdayIndex(date)], 3);
}

CalendarDate localToday() {
    const std::tm local = localNow();
    return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

CurrentDays currentDays(const ForecastList& days, const CalendarDate& today) {
    for (size_t i = 0; i < days.size(); ++i) {
        const std::optional<CalendarDate> date = readDate(days[i].date);
        if (!date || *date >= today) {
            return CurrentDays{i, false};
        }
    }
    return CurrentDays{0, !days.empty()};
}

ForecastList daysToShow(const ForecastList& days, const CalendarDate& today) {
    const CurrentDays current = currentDays(days, today);
    if (current.outdated) {
        return ForecastList();
    }
    return ForecastList(days.begin() + static_cast<std::ptrdiff_t>(current.first), days.end());
}

CityRecord shownOn(const CityRecord& city, const CalendarDate& today) {
    CityRecord shown;
    shown.info = city.info;
    for (ForecastDay& day : daysToShow(city.days(), today)) {
        shown.addDay(std::move(day));
    }
    return shown;
}

}  // namespace brisalune
