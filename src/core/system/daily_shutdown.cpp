#include "core/system/daily_shutdown.h"

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

std::int64_t DayOf(const LocalDateTime& now) {
    return DaysFromCivil(now.year, now.month, now.day);
}

}  // namespace

int ParseShutupTime(std::string_view stored) {
    if (stored.empty()) {
        return kDefaultShutdownSecond;
    }
    const std::int64_t seconds = StoredTimeSeconds(stored) % kSecondsPerDay;
    return static_cast<int>(seconds < 0 ? seconds + kSecondsPerDay : seconds);
}

DailyShutdown::DailyShutdown(const LocalClock& clock, std::function<void()> powerOff)
    : clock_(clock), powerOff_(std::move(powerOff)) {}

void DailyShutdown::Start(int secondOfDay) {
    secondOfDay_ = secondOfDay;
    dueDay_ = DayOf(clock_.Now());
    attempted_ = false;
    running_ = true;
}

void DailyShutdown::Tick() {
    if (!running_) {
        return;
    }
    const LocalDateTime now = clock_.Now();
    if (const std::int64_t today = DayOf(now); today != dueDay_) {
        dueDay_ = today;  // a new day (or the clock set to another): its own attempt
        attempted_ = false;
    }
    const int difference = now.hour * 3600 + now.minute * 60 + now.second - secondOfDay_;
    if (!attempted_ && difference > -2 && difference < 2) {
        attempted_ = true;
        powerOff_();
    }
}

}  // namespace chimeon
