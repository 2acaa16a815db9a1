#include "core/engine/clock_text.h"

#include <chrono>
#include <cstdio>

namespace chimeon {
namespace {

// Splits at the first ":"; without one, the part before is empty and the rest is all of it.
void CutAtColon(std::string_view text, std::string_view& before, std::string_view& after) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        before = {};
        after = text;
    } else {
        before = text.substr(0, colon);
        after = text.substr(colon + 1);
    }
}

}  // namespace

std::string TimeText(int secondOfDay) {
    // Formatted by hand: a step makes several of these, and they must stay cheap.
    std::string text;
    text.reserve(8);
    auto append = [&text](int value) {
        if (value >= 10) {
            text.push_back(static_cast<char>('0' + value / 10));
        }
        text.push_back(static_cast<char>('0' + value % 10));
    };
    append(secondOfDay / 3600 % 100);
    text.push_back(':');
    append(secondOfDay / 60 % 60);
    text.push_back(':');
    append(secondOfDay % 60);
    return text;
}

std::string TimeText(const LocalDateTime& now) {
    return TimeText(now.hour * 3600 + now.minute * 60 + now.second);
}

std::string DateText(const LocalDateTime& now) {
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d", now.month, now.day, now.year);
    return text;
}

std::int64_t StoredTimeSeconds(std::string_view text) {
    std::string_view hours, rest, minutes, seconds;
    CutAtColon(text, hours, rest);
    CutAtColon(rest, minutes, seconds);
    return LeadingNumber(hours) * 3600 + LeadingNumber(minutes) * 60 + LeadingNumber(seconds);
}

bool TimeNotBefore(std::string_view a, std::string_view b) {
    return StoredTimeSeconds(a) >= StoredTimeSeconds(b);
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / month / day}.time_since_epoch().count();
}

LocalDateTime CivilDay(int year, int month, int day) {
    using namespace std::chrono;
    sys_days days{std::chrono::year{year} / month / day};
    year_month_day date{days};
    LocalDateTime result;
    result.year = static_cast<int>(date.year());
    result.month = static_cast<int>(static_cast<unsigned>(date.month()));
    result.day = static_cast<int>(static_cast<unsigned>(date.day()));
    result.weekday = static_cast<int>(weekday{days}.c_encoding());
    return result;
}

LocalDateTime DaysLater(const LocalDateTime& date, int days) {
    using namespace std::chrono;
    year_month_day later{sys_days{std::chrono::year{date.year} / date.month / date.day} +
                         std::chrono::days{days}};
    return CivilDay(static_cast<int>(later.year()),
                    static_cast<int>(static_cast<unsigned>(later.month())),
                    static_cast<int>(static_cast<unsigned>(later.day())));
}

}  // namespace chimeon
