#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string_view>

#include "core/app/app_state.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/page_message.h"
#include "core/schedule/table_id.h"

namespace chimeon {

struct CalendarImportPlan;

// A day of the calendar as the date pickers hold it.
struct CalendarDate {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;
    bool operator==(const CalendarDate&) const = default;
};

// The dates the pickers offer and the stored date text holds (a four-digit year).
inline constexpr CalendarDate kFirstCalendarDate{1970, 1, 1};
inline constexpr CalendarDate kLastCalendarDate{9999, 12, 31};
inline constexpr std::string_view kDateOutOfRangeMessage =
    "这个日期不能使用：只能选择1970年1月1日到9999年12月31日之间的日期！";

// The rest-day check boxes, Sunday first.
using RestDayBoxes = std::array<bool, 7>;

// The rules of the holiday page over the one calendar in memory, which today's table selection
// uses as it is, saved or not. Every change of that calendar is reported whole to the listener
// (whoever chooses today's table keeps a copy). The check boxes reach the calendar when an entry
// is added and on save. With a password in use and nobody logged in, nothing changes at all: a
// day off added in memory would silence the building at the next change of day.
class HolidayEditor {
public:
    using CalendarListener = std::function<void(const HolidayCalendar&)>;

    HolidayEditor(const AppState& state, std::filesystem::path folder, CalendarListener listener);

    // Reads the stored calendar (the extra working days come in the reverse of their file order).
    void Load();
    const HolidayCalendar& Calendar() const { return calendar_; }

    // The current rows of the two lists, set by the operator's choice (-1: none). They keep their
    // numbers when a delete moves the rows below up.
    int DayOffRow() const { return dayOffRow_; }
    int WorkDayRow() const { return workDayRow_; }
    void SetDayOffRow(int row) { dayOffRow_ = row < 0 ? -1 : row; }
    void SetWorkDayRow(int row) { workDayRow_ = row < 0 ? -1 : row; }

    // The refusal of any change now ("用户未登陆，不能进行任何修改！"), or nothing.
    PageMessage EditRefusal() const;

    // "增加" under "公休日" and under "加班日": the boxes are taken over and the entry is appended
    // (the same date may be listed twice). A date outside the pickers' range is refused.
    PageMessage AddDayOff(const RestDayBoxes& boxes, CalendarDate date);
    PageMessage AddExtraWorkDay(const RestDayBoxes& boxes, CalendarDate date, TableId table);
    // "删除": the current row of that list, when there is one.
    PageMessage DeleteDayOff();
    PageMessage DeleteExtraWorkDay();
    // "保存": the boxes are taken over and both files written.
    PageMessage Save(const RestDayBoxes& boxes);
    // "从日历导入…" once the operator confirmed the plan: its entries are appended and both
    // files written.
    PageMessage Import(const CalendarImportPlan& plan);

private:
    // Writes both files and says how that went.
    PageMessage SaveFiles();
    // Applies a change to the calendar and tells the listener when it changed anything.
    void Change(const std::function<void(HolidayCalendar&)>& change);
    // The same after asking whether the operator may change the calendar.
    PageMessage ChangeIfAllowed(const std::function<void(HolidayCalendar&)>& change);
    // Takes the boxes over and appends an entry for a usable date.
    PageMessage AddEntry(const RestDayBoxes& boxes, CalendarDate date,
                         const std::function<void(HolidayCalendar&)>& append);

    const AppState& state_;
    std::filesystem::path folder_;
    CalendarListener listener_;
    HolidayCalendar calendar_;
    int dayOffRow_ = -1;
    int workDayRow_ = -1;
};

// True for a real day of the Gregorian calendar between kFirstCalendarDate and kLastCalendarDate.
bool IsUsableCalendarDate(CalendarDate date);

}  // namespace chimeon
