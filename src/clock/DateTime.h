// DateTime: a date and time of day without time zone, held as an OLE Automation date (days since
// 1899-12-30 00:00:00, the time of day as the fraction of a day; below zero the fraction counts
// forward from that day's midnight). The exam clock keeps whole seconds only.
//
// The start trigger compares date-time texts byte for byte, so formatDateTime writes one exact
// text per second, and parseDateTime fixes which texts the schedule may send.
//
// Small copyable values and pure functions; any thread (currentDateTime reads the system clock).
#pragma once

#include <compare>
#include <string_view>

#include "core/Text.h"

namespace exam {

struct DateTime {
    double oleDate = 0.0;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// 100-01-01 00:00:00: the result of every failed parse.
inline constexpr DateTime MinDateTime{-657434.0};
// 9999-12-31 00:00:00: formatDateTime writes nothing later.
inline constexpr DateTime MaxDateTime{2958465.0};

struct DateTimeFields {
    int year = 100;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateTimeFields&, const DateTimeFields&) = default;
};

// True when year is 100..9999, the day exists in that month (Gregorian leap years) and the time
// of day is 00:00:00..23:59:59.
bool isValidDateTime(const DateTimeFields& fields);

// The DateTime of valid fields; MinDateTime for invalid ones.
DateTime makeDateTime(const DateTimeFields& fields);

// The fields that formatDateTime writes: the value clamped into [MinDateTime, MaxDateTime]
// (NaN counts as MinDateTime) and rounded to the nearest second.
DateTimeFields splitDateTime(DateTime value);

// The local wall-clock time by the system's time-zone rules, the current second's fraction
// dropped.
DateTime currentDateTime();

// "2024年6月1日" followed by "9时5分7秒", "9时30分" or "9时": the time of day is cut after its
// last part that is not zero, and left out entirely at midnight.
Text formatDateTime(DateTime value);

// Reads year, month, day, hour, minute and second (at most 4, 2, 2, 2, 2, 2 ASCII digits after
// folding full-width forms), each of the first five optionally followed by one of "/", "-", ":",
// "." or its unit character (and, after the day only, one space). After the second the text
// ends or goes on with "秒". Any other text, or fields outside their range, gives MinDateTime.
DateTime parseDateTime(std::string_view gbk);
inline DateTime parseDateTime(const Text& text) {
    return parseDateTime(text.view());
}

}  // namespace exam
