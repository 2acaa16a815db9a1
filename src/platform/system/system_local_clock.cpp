#include "platform/system/system_local_clock.h"

#include <ctime>

namespace chimeon {

ClockReading SystemLocalClock::Read() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    LocalDateTime result;
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.weekday = local.tm_wday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second reads as :59
    result.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    const std::int64_t epochMs = static_cast<std::int64_t>(now.tv_sec) * 1000 + result.millisecond;
    return {result, epochMs, epochMs};
}

}  // namespace chimeon
