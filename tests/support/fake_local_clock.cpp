#include "support/fake_local_clock.h"

#include "core/engine/clock_text.h"

namespace chimeon::test {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

}  // namespace

LocalDateTime LocalDateTimeFromMs(std::int64_t ms) {
    std::int64_t days = ms >= 0 ? ms / kMsPerDay : (ms - kMsPerDay + 1) / kMsPerDay;
    std::int64_t inDay = ms - days * kMsPerDay;
    LocalDateTime t = DaysLater(CivilDay(1970, 1, 1), static_cast<int>(days));
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
