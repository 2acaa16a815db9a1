#include "app/file_local_clock.h"

#include <cstdio>
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
    now_ = LocalDateTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_wday,
                         fields.tm_hour,        fields.tm_min,     fields.tm_sec,  0};
    epochSeconds_ = static_cast<std::int64_t>(epoch);
}

ClockReading FileLocalClock::Read() const {
    std::lock_guard lock(mutex_);
    Refresh();
    return {now_, epochSeconds_ * 1000};
}

}  // namespace chimeon
