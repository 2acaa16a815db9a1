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

// One reading of the wall clock: the civil time and the same moment as milliseconds since
// 1970-01-01 UTC. Both come from one read, so they never name different seconds or days.
// `realtimeMs` is that moment on the system's real-time clock (CLOCK_REALTIME), the clock the
// media player keeps time by; it equals `epochMs` but for a clock that a test sets.
struct ClockReading {
    LocalDateTime local;
    std::int64_t epochMs = 0;
    std::int64_t realtimeMs = 0;
};

// The wall clock. The broadcast clock, the day check, the shutdown test and the digital clock
// read the time only through this, so tests can move it (and it may jump: the operator can set
// the system time).
class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual ClockReading Read() const = 0;
    LocalDateTime Now() const { return Read().local; }
    // Whole seconds since 1970-01-01 UTC. Whoever needs this and the civil time together takes
    // both from one Read().
    std::int64_t EpochSeconds() const { return EpochSecondsOf(Read()); }
    static std::int64_t EpochSecondsOf(const ClockReading& reading) {
        return reading.epochMs >= 0 ? reading.epochMs / 1000 : (reading.epochMs - 999) / 1000;
    }
};

}  // namespace chimeon
