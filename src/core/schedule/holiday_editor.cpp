#include "core/schedule/holiday_editor.h"

#include <tuple>
#include <utility>

#include "core/engine/clock_text.h"
#include "core/schedule/calendar_import.h"

namespace chimeon {
namespace {

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::tuple<int, int, int> Ordered(CalendarDate date) {
    return {date.year, date.month, date.day};
}

template <typename Entries>
void EraseRow(Entries& entries, int row) {
    if (row >= 0 && row < static_cast<int>(entries.size())) {
        entries.erase(entries.begin() + row);
    }
}

std::string DateTextOf(CalendarDate date) {
    LocalDateTime day;
    day.year = date.year;
    day.month = date.month;
    day.day = date.day;
    return DateText(day);
}

}  // namespace

bool IsUsableCalendarDate(CalendarDate date) {
    if (date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month)) {
        return false;
    }
    return Ordered(date) >= Ordered(kFirstCalendarDate) &&
           Ordered(date) <= Ordered(kLastCalendarDate);
}

HolidayEditor::HolidayEditor(const AppState& state, std::filesystem::path folder,
                             CalendarListener listener)
    : state_(state), folder_(std::move(folder)), listener_(std::move(listener)) {}

void HolidayEditor::Load() {
    calendar_ = LoadHolidayCalendar(folder_);
    if (listener_) {
        listener_(calendar_);  // also when it is the default: the listener starts from this
    }
}

PageMessage HolidayEditor::EditRefusal() const {
    return state_.IsEditAllowed() ? PageMessage{} : NotLoggedIn();
}

PageMessage HolidayEditor::AddEntry(const RestDayBoxes& boxes, CalendarDate date,
                                    const std::function<void(HolidayCalendar&)>& append) {
    if (PageMessage refusal = EditRefusal(); !refusal.IsEmpty()) {
        return refusal;
    }
    if (!IsUsableCalendarDate(date)) {
        return {MessageTitle::kReminder, std::string(kDateOutOfRangeMessage)};
    }
    Change([&](HolidayCalendar& calendar) {
        calendar.restDays = boxes;
        append(calendar);
    });
    return {};
}

PageMessage HolidayEditor::AddDayOff(const RestDayBoxes& boxes, CalendarDate date) {
    return AddEntry(boxes, date, [date](HolidayCalendar& calendar) {
        calendar.daysOff.push_back(DateTextOf(date));
    });
}

PageMessage HolidayEditor::AddExtraWorkDay(const RestDayBoxes& boxes, CalendarDate date,
                                           TableId table) {
    return AddEntry(boxes, date, [date, table](HolidayCalendar& calendar) {
        calendar.extraWorkDays.push_back({DateTextOf(date), std::string(TableName(table))});
    });
}

PageMessage HolidayEditor::DeleteDayOff() {
    return ChangeIfAllowed(
        [this](HolidayCalendar& calendar) { EraseRow(calendar.daysOff, dayOffRow_); });
}

PageMessage HolidayEditor::DeleteExtraWorkDay() {
    return ChangeIfAllowed(
        [this](HolidayCalendar& calendar) { EraseRow(calendar.extraWorkDays, workDayRow_); });
}

PageMessage HolidayEditor::Save(const RestDayBoxes& boxes) {
    if (PageMessage refusal = EditRefusal(); !refusal.IsEmpty()) {
        return refusal;
    }
    Change([&boxes](HolidayCalendar& calendar) { calendar.restDays = boxes; });
    return SaveFiles();
}

PageMessage HolidayEditor::Import(const CalendarImportPlan& plan) {
    if (PageMessage refusal = EditRefusal(); !refusal.IsEmpty()) {
        return refusal;
    }
    Change([&plan](HolidayCalendar& calendar) { ApplyCalendarImport(calendar, plan); });
    PageMessage saved = SaveFiles();
    if (saved == Saved()) {
        saved.text = "导入完毕：新增公休日" + std::to_string(plan.addDaysOff.size()) +
                     "个，加班日" + std::to_string(plan.addWorkDays.size()) + "个。";
    }
    return saved;
}

PageMessage HolidayEditor::SaveFiles() {
    const CalendarSaveResult result = SaveHolidayCalendar(folder_, calendar_);
    std::vector<std::filesystem::path> unwritten;
    if (!result.restDaysSaved) {
        unwritten.push_back(folder_ / kRestDaysFileName);
    }
    if (!result.extraWorkDaysSaved) {
        unwritten.push_back(folder_ / kExtraWorkDaysFileName);
    }
    return unwritten.empty() ? Saved() : SaveFailed(unwritten);
}

PageMessage HolidayEditor::ChangeIfAllowed(const std::function<void(HolidayCalendar&)>& change) {
    if (PageMessage refusal = EditRefusal(); !refusal.IsEmpty()) {
        return refusal;
    }
    Change(change);
    return {};
}

void HolidayEditor::Change(const std::function<void(HolidayCalendar&)>& change) {
    HolidayCalendar before = calendar_;
    change(calendar_);
    if (listener_ && !(calendar_ == before)) {
        listener_(calendar_);
    }
}

}  // namespace chimeon
