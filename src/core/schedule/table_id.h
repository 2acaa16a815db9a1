#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chimeon {

// The twelve stored tables: five templates, then the weekdays from Sunday.
enum class TableId : int {
    kTemplate1 = 0,
    kTemplate2,
    kTemplate3,
    kTemplate4,
    kTemplate5,
    kSunday,
    kMonday,
    kTuesday,
    kWednesday,
    kThursday,
    kFriday,
    kSaturday,
};

inline constexpr int kTableCount = 12;

// "模板1".."模板5", "星期日".."星期六": the names the calendar stores for extra working days.
std::string_view TableName(TableId id);

// "Template1.dat".."Template5.dat", "Day0.dat".."Day6.dat".
std::string TableFileName(TableId id);

// The table of a weekday, 0 = Sunday.
TableId WeekdayTable(int weekday);

// The table a stored name stands for, exactly as stored; nothing for any other text.
std::optional<TableId> TableIdFromName(std::string_view name);

// The table whose file name this is, ignoring letter case ("day1.dat" is Monday's).
std::optional<TableId> TableIdFromFileName(std::string_view fileName);

}  // namespace chimeon
