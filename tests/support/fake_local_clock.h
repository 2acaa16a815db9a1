#pragma once

#include <cstdint>

#include "core/system/local_clock.h"

namespace chimeon::test {

// The local date and time `ms` milliseconds after 1970-01-01 0:00 (local time taken as UTC).
LocalDateTime LocalDateTimeFromMs(std::int64_t ms);
// Milliseconds since 1970-01-01 0:00 of a local date and time.
std::int64_t MsFromLocal(int year, int month, int day, int hour, int minute, int second,
                         int millisecond = 0);

// A wall clock that tests set and move by hand. It holds one moment, and both the civil time
// and the epoch milliseconds of a reading come from it (local time taken as UTC).
class FakeLocalClock : public LocalClock {
public:
    ClockReading Read() const override {
        ClockReading reading{LocalDateTimeFromMs(ms_), ms_, ms_};
        if (stepPerReadMs_ != 0) {
            ms_ += stepPerReadMs_;
        }
        return reading;
    }

    void SetMs(std::int64_t epochMs) { ms_ = epochMs; }
    void Set(const LocalDateTime& local) {
        ms_ = MsFromLocal(local.year, local.month, local.day, local.hour, local.minute,
                          local.second, local.millisecond);
    }
    // A clock that runs on while it is read: every reading moves it on by `ms`, so whoever
    // reads it twice for one moment gets two different moments.
    void RunOnWhileRead(std::int64_t ms) { stepPerReadMs_ = ms; }

private:
    mutable std::int64_t ms_ = 0;
    std::int64_t stepPerReadMs_ = 0;
};

}  // namespace chimeon::test
