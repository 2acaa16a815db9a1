#include "core/engine/todays_table.h"

#include <array>
#include <system_error>

#include "core/engine/clock_text.h"
#include "core/io/file_io.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHolidayStatus = "今天是节假日！";

std::string PlayingStatus(std::string_view tableName) {
    return "今天播放" + std::string(tableName) + "的节目表！";
}

bool FileIsMissing(const fs::path& file) {
    std::error_code error;
    fs::file_status status = fs::symlink_status(file, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        return false;  // cannot even look: treat as there but unreadable
    }
    if (fs::exists(status)) {
        return false;
    }
    return !FindSingleCaseInsensitiveMatch(file.parent_path(), file.filename().string());
}

}  // namespace

TodayLoad LoadTodayList(const fs::path& file, TodayList& list) {
    auto table = LoadScheduleFile(file);
    if (table) {
        list.Load(*table);
        return TodayLoad::kLoaded;
    }
    if (FileIsMissing(file)) {
        list.Load({});
        return TodayLoad::kEmptied;
    }
    return TodayLoad::kUnreadable;
}

TodaySelection SelectTodaysTable(const LocalDateTime& today, const HolidayCalendar& calendar,
                                 const fs::path& programDirectory, TodayList& list) {
    TodaySelection selection;
    std::string date = DateText(today);

    if (auto tableName = calendar.ExtraWorkDayTable(date)) {
        selection.statusText = PlayingStatus(*tableName);
        if (auto table = TableIdFromName(*tableName)) {
            selection.load = LoadTodayList(programDirectory / TableFileName(*table), list);
        } else {
            list.Load({});
            selection.load = TodayLoad::kEmptied;
        }
        return selection;
    }

    if (calendar.IsDayOff(date) || calendar.IsRestDay(today.weekday)) {
        selection.noBroadcastToday = true;
        selection.statusText = std::string(kHolidayStatus);
        list.Load({});
        selection.load = TodayLoad::kEmptied;
        return selection;
    }

    TableId weekdayTable = WeekdayTable(today.weekday);
    selection.statusText = PlayingStatus(TableName(weekdayTable));
    selection.load = LoadTodayList(programDirectory / TableFileName(weekdayTable), list);
    return selection;
}

}  // namespace chimeon
