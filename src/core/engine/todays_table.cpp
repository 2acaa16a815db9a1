#include "core/engine/todays_table.h"

#include "core/engine/clock_text.h"
#include "core/schedule/stored_table.h"
#include "core/schedule/table_id.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string StatusTextFor(const TableChoice& choice, std::string_view day) {
    if (choice.noBroadcastToday) {
        return std::string(day) + "是节假日！";
    }
    return std::string(day) + "播放" + choice.tableName + "的节目表！";
}

TodayLoad LoadTodayList(const fs::path& file, TodayList& list) {
    LoadedTable table = LoadStoredTableFile(file);
    if (table.unreadable) {
        return TodayLoad::kUnreadable;
    }
    list.Load(table.rows);
    return table.missing ? TodayLoad::kEmptied : TodayLoad::kLoaded;
}

TableChoice ChooseTable(const LocalDateTime& date, const HolidayCalendar& calendar) {
    TableChoice choice;
    std::string dateText = DateText(date);
    if (auto tableName = calendar.ExtraWorkDayTable(dateText)) {
        choice.tableName = *tableName;
        choice.table = TableIdFromName(*tableName);
    } else if (calendar.IsDayOff(dateText) || calendar.IsRestDay(date.weekday)) {
        choice.noBroadcastToday = true;
        choice.statusText = StatusTextFor(choice, "今天");
        return choice;
    } else {
        choice.table = WeekdayTable(date.weekday);
        choice.tableName = std::string(TableName(*choice.table));
    }
    choice.statusText = StatusTextFor(choice, "今天");
    return choice;
}

TodaySelection SelectTodaysTable(const LocalDateTime& today, const HolidayCalendar& calendar,
                                 const fs::path& dataDirectory, TodayList& list) {
    TableChoice choice = ChooseTable(today, calendar);
    TodaySelection selection;
    selection.noBroadcastToday = choice.noBroadcastToday;
    selection.tableName = std::move(choice.tableName);
    selection.statusText = std::move(choice.statusText);
    if (choice.table) {
        selection.load = LoadTodayList(dataDirectory / TableFileName(*choice.table), list);
    } else {
        // A day without broadcast, or an extra day naming no stored table: nothing of another
        // day may play on it.
        list.Load({});
        selection.load = TodayLoad::kEmptied;
    }
    return selection;
}

}  // namespace chimeon
