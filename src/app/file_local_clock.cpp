#include "app/file_local_clock.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/io/file_descriptor.h"

namespace chimeon {

void FileLocalClock::Refresh() const {
    auto bytes = ReadFileBytes(file_);
    if (!bytes) {
        return;
    }
    const std::string& text = *bytes;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                    &second) != 6) {
        return;
    }
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    const std::time_t epoch = std::mktime(&fields);
    if (epoch == static_cast<std::time_t>(-1)) {
        return;
    }
    runningSinceMs_ = -1;
    struct stat info {};
    if (std::strstr(text.c_str(), "running") != nullptr && stat(file_.c_str(), &info) == 0) {
        runningSinceMs_ =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    }
    now_ = LocalDateTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_wday,
                         fields.tm_hour,        fields.tm_min,     fields.tm_sec,  0};
    epochSeconds_ = static_cast<std::int64_t>(epoch);
}

ClockReading FileLocalClock::Read() const {
    std::lock_guard lock(mutex_);
    Refresh();
    timespec real{};
    clock_gettime(CLOCK_REALTIME, &real);
    const std::int64_t realMs =
        static_cast<std::int64_t>(real.tv_sec) * 1000 + real.tv_nsec / 1000000;
    if (runningSinceMs_ < 0) {
        return {now_, epochSeconds_ * 1000, realMs};
    }
    const std::int64_t epochMs =
        epochSeconds_ * 1000 + std::max<std::int64_t>(realMs - runningSinceMs_, 0);
    const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    const LocalDateTime now{local.tm_year + 1900,
                            local.tm_mon + 1,
                            local.tm_mday,
                            local.tm_wday,
                            local.tm_hour,
                            local.tm_min,
                            std::min(local.tm_sec, 59),
                            static_cast<int>(epochMs % 1000)};
    return {now, epochMs, realMs};
}

}  // namespace chimeon
