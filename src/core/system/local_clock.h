#pragma once

#include <cstdint>

namespace chimeon {

// A moment in local (civil) time, as the tables and the calendar speak of it.
struct LocalDateTime {
    int year = 1970;
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int weekday = 4;  // 0 = Sunday .. 6 = Saturday
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const LocalDateTime&) const = default;
};

// The wall clock. The broadcast clock, the day check, the shutdown test and the digital clock
// read the time only through this, so tests can move it (and it may jump: the operator can set
// the system time).
class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalDateTime Now() const = 0;
    // Whole seconds since 1970-01-01 UTC.
    virtual std::int64_t EpochSeconds() const = 0;
};

}  // namespace chimeon
