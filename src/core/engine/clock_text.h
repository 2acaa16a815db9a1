#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/system/local_clock.h"
#include "core/text/leading_number.h"

namespace chimeon {

inline constexpr int kSecondsPerDay = 86400;

// The time of day as the tables store it: "%d:%d:%d" without leading zeros (8:5:0).
std::string TimeText(int secondOfDay);
std::string TimeText(const LocalDateTime& now);

// The date as the calendar stores it: "%d/%d/%d" of month, day and year (12/6/2026).
std::string DateText(const LocalDateTime& now);

// A stored time of day in seconds, read leniently: hours before the first ":", minutes before
// the next, seconds after it; each part a decimal number up to its first non-digit, 0 when empty
// or not a number ("12:30" is 12 h 0 min 30 s, "" is midnight). Never overflows.
std::int64_t StoredTimeSeconds(std::string_view text);

// True when time of day `a` is at or after time of day `b`, both read as above.
bool TimeNotBefore(std::string_view a, std::string_view b);

// Days since 1970-01-01 of a civil date (any year the tables can meet).
std::int64_t DaysFromCivil(int year, int month, int day);

// Midnight of a civil date, with its weekday; and the midnight `days` later (or earlier).
LocalDateTime CivilDay(int year, int month, int day);
LocalDateTime DaysLater(const LocalDateTime& date, int days);

}  // namespace chimeon
