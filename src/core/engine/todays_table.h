#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine/today_list.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/table_id.h"
#include "core/system/local_clock.h"

namespace chimeon {

enum class TodayLoad {
    kLoaded,      // the file's items replaced the rows
    kEmptied,     // no such table (never saved, or not one of the twelve): the rows were emptied
    kUnreadable,  // the file exists but cannot be read: the rows stay as they were
};

// Replaces the rows of `list` with the table in the file, by the rule of LoadStoredTableFile. A
// missing file means an empty table: a day whose table was never saved plays nothing, never the
// rows of the day before. A file that is there but cannot be read leaves the rows as they were.
TodayLoad LoadTodayList(const std::filesystem::path& file, TodayList& list);

// Which table a date plays, by the calendar alone.
struct TableChoice {
    bool noBroadcastToday = false;
    std::string
        tableName;  // as stored or shown ("星期一", an extra day's text); "" without broadcast
    std::optional<TableId> table;  // the stored table it names; nothing for an unknown name
    std::string statusText;  // "今天播放星期一的节目表！", "今天是节假日！", ...
};

// The first extra working day with the date wins, then a day off, then the weekday's rest flag,
// then the weekday's own table.
TableChoice ChooseTable(const LocalDateTime& date, const HolidayCalendar& calendar);

// The status text of a choice said of `day`: "今天" gives the today page's
// "今天播放星期一的节目表！" or "今天是节假日！"; another day's words stand in its place
// ("2026-12-09 播放…").
std::string StatusTextFor(const TableChoice& choice, std::string_view day);

struct TodaySelection {
    bool noBroadcastToday = false;
    std::string tableName;   // as in TableChoice
    std::string statusText;  // "今天播放星期一的节目表！", "今天是节假日！", ...
    TodayLoad load = TodayLoad::kEmptied;
};

// Chooses today's table: the first extra working day with today's date wins, then a day off,
// then the weekday's rest flag, then the weekday's own table; loads it into `list` from
// `dataDirectory`. On a day without broadcast the list is emptied, so that nothing of another
// day can be played on it, not even after a switch to automatic.
TodaySelection SelectTodaysTable(const LocalDateTime& today, const HolidayCalendar& calendar,
                                 const std::filesystem::path& dataDirectory, TodayList& list);

}  // namespace chimeon
