#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/system/local_clock.h"

namespace chimeon {

inline constexpr int kShutdownTimerMs = 300;
inline constexpr int kDefaultShutdownSecond = 8 * 3600;  // 08:00:00

// The time of day of a stored "ShutupTime", in seconds after midnight: 08:00:00 when it is empty;
// otherwise hour, minute and second as stored times are read ("17" is 00:00:17, "8:5" 08:00:05).
// A time beyond the day ("25:0:0", "-5") is taken on the clock face, as the system's calendar
// arithmetic takes it.
int ParseShutupTime(std::string_view stored);

// The daily shutdown test. While it runs, each tick (every kShutdownTimerMs) powers the PC off
// when the clock is within two seconds of the due moment (-2 < now - due < 2, whole seconds).
// One attempt a day, taken or refused. At each change of day the due moment moves to the new
// day, so a program that runs for months shuts the PC down every day; one started after the time
// has passed first shuts it down the next day.
class DailyShutdown {
public:
    DailyShutdown(const LocalClock& clock, std::function<void()> powerOff);

    // Due at `secondOfDay` from today on, with a fresh attempt (the timer started or restarted).
    void Start(int secondOfDay);
    void Stop() { running_ = false; }
    bool IsRunning() const { return running_; }
    int secondOfDay() const { return secondOfDay_; }
    // One tick of the timer.
    void Tick();

private:
    const LocalClock& clock_;
    std::function<void()> powerOff_;
    bool running_ = false;
    int secondOfDay_ = kDefaultShutdownSecond;
    std::int64_t dueDay_ = 0;  // days since 1970 of the day the due moment lies on
    bool attempted_ = false;   // the attempt of that day is made
};

}  // namespace chimeon
