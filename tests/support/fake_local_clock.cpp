#include "support/fake_local_clock.h"

#include "core/engine/clock_text.h"

namespace chimeon::test {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

}  // namespace

LocalDateTime LocalDateTimeFromMs(std::int64_t ms) {
    std::int64_t days = ms >= 0 ? ms / kMsPerDay : (ms - kMsPerDay + 1) / kMsPerDay;
    std::int64_t inDay = ms - days * kMsPerDay;
    // Howard Hinnant's civil_from_days.
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    LocalDateTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    t.weekday = static_cast<int>((days % 7 + 7 + 4) % 7);
    t.hour = static_cast<int>(inDay / 3'600'000);
    t.minute = static_cast<int>(inDay / 60'000 % 60);
    t.second = static_cast<int>(inDay / 1000 % 60);
    t.millisecond = static_cast<int>(inDay % 1000);
    return t;
}

std::int64_t MsFromLocal(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
    return DaysFromCivil(year, month, day) * kMsPerDay +
           ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + millisecond;
}

}  // namespace chimeon::test
