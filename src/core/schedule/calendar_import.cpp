#include "core/schedule/calendar_import.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <tuple>
#include <utility>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

std::string TextOf(CalendarDate date) {
    return DateText(CivilDay(date.year, date.month, date.day));
}

bool Before(CalendarDate a, CalendarDate b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

// The mark that stands last in the summary decides ("国庆节调休上班" is a working day).
bool IsWorkingDay(std::string_view summary, const CalendarImportOptions& options) {
    if (options.workMark.empty()) {
        return false;
    }
    const size_t work = summary.rfind(options.workMark);
    if (work == std::string_view::npos) {
        return false;
    }
    const size_t off =
        options.offMark.empty() ? std::string_view::npos : summary.rfind(options.offMark);
    return off == std::string_view::npos || off < work;
}

std::string WorkDayTable(std::string_view summary, CalendarDate date,
                         const CalendarImportOptions& options) {
    for (int id = 0; id < kTableCount; ++id) {
        const std::string_view name = TableName(static_cast<TableId>(id));
        if (summary.find(name) != std::string_view::npos) {
            return std::string(name);
        }
    }
    const int weekday = CivilDay(date.year, date.month, date.day).weekday;
    return std::string(TableName(options.table.value_or(WeekdayTable(weekday))));
}

// A file day folded with the others on its date.
struct PlannedDate {
    CalendarDate date;
    bool off = false;
    bool work = false;
    std::string table;  // of the first working-day event
};

void AppendList(std::string& out, std::string_view heading, const std::vector<std::string>& dates) {
    constexpr size_t kShown = 30;
    if (dates.empty()) {
        return;
    }
    out += std::string(heading) + std::to_string(dates.size()) + "个：";
    for (size_t i = 0; i < dates.size() && i < kShown; ++i) {
        out += (i == 0 ? "" : "，") + dates[i];
    }
    out += dates.size() > kShown ? "等\n" : "\n";
}

}  // namespace

std::string FileTooLargeProblem(const CalendarFileLimits& limits) {
    return "日历文件太大：最多" + std::to_string(limits.maxBytes >> 20) + " MiB！";
}

std::string TooManyEventsProblem(const CalendarFileLimits& limits) {
    return "日历文件的事件太多：最多" + std::to_string(limits.maxEvents) + "个！";
}

std::string TooManyDatesProblem(const CalendarFileLimits& limits) {
    return "日历文件的日期太多：所有事件（重复的展开后）最多" + std::to_string(limits.maxDates) +
           "天！";
}

std::string RuleTooLongProblem(const CalendarFileLimits& limits, std::string_view summary) {
    return "事件“" + std::string(summary) + "”的重复规则展开超过" +
           std::to_string(limits.maxRuleSteps) + "次仍未结束！";
}

CalendarImportPlan PlanCalendarImport(const HolidayCalendar& stored,
                                      const std::vector<CalendarFileDay>& days,
                                      const CalendarImportOptions& options, CalendarDate today) {
    std::vector<std::string> order;
    std::map<std::string, PlannedDate> dates;
    for (const CalendarFileDay& day : days) {
        const bool usable = IsUsableCalendarDate(day.date);
        std::string text = usable ? TextOf(day.date)
                                  : std::to_string(day.date.month) + "/" +
                                        std::to_string(day.date.day) + "/" +
                                        std::to_string(day.date.year);
        auto [entry, added] = dates.try_emplace(text, PlannedDate{day.date, false, false, {}});
        if (added) {
            order.push_back(text);
        }
        if (!IsWorkingDay(day.summary, options)) {
            entry->second.off = true;
        } else if (!std::exchange(entry->second.work, true) && usable) {
            entry->second.table = WorkDayTable(day.summary, day.date, options);
        }
    }
    CalendarImportPlan plan;
    for (const std::string& text : order) {
        const PlannedDate& date = dates[text];
        const std::optional<std::string> storedTable = stored.ExtraWorkDayTable(text);
        if (!IsUsableCalendarDate(date.date)) {
            plan.skipped.push_back(text);
        } else if (date.off && date.work) {
            plan.conflicts.push_back(text);
        } else if (Before(date.date, today)) {
            plan.past.push_back(text);
        } else if (date.off) {
            if (storedTable) {
                plan.conflicts.push_back(text);
            } else if (stored.IsDayOff(text)) {
                plan.already.push_back(text);
            } else {
                plan.addDaysOff.push_back(text);
            }
        } else if (storedTable) {
            (*storedTable == date.table ? plan.already : plan.conflicts).push_back(text);
        } else if (stored.IsDayOff(text)) {
            plan.conflicts.push_back(text);
        } else {
            plan.addWorkDays.push_back({text, date.table});
        }
    }
    return plan;
}

void ApplyCalendarImport(HolidayCalendar& calendar, const CalendarImportPlan& plan) {
    calendar.daysOff.insert(calendar.daysOff.end(), plan.addDaysOff.begin(), plan.addDaysOff.end());
    calendar.extraWorkDays.insert(calendar.extraWorkDays.end(), plan.addWorkDays.begin(),
                                  plan.addWorkDays.end());
}

std::string DescribeCalendarImport(const CalendarImportPlan& plan) {
    std::vector<std::string> workDays;
    for (const ExtraWorkDay& day : plan.addWorkDays) {
        workDays.push_back(day.date + "（" + day.table + "）");
    }
    std::string out;
    AppendList(out, "新增公休日", plan.addDaysOff);
    AppendList(out, "新增加班日", workDays);
    AppendList(out, "日历中已有", plan.already);
    AppendList(out, "已经过去，不导入", plan.past);
    AppendList(out, "既休息又上班（冲突），不导入", plan.conflicts);
    AppendList(out, "超出1970年到9999年，不导入", plan.skipped);
    return out.empty() ? "日历文件中没有日期。\n" : out;
}

std::optional<CalendarDate> DateFromText(std::string_view text) {
    CalendarDate date;
    int* parts[] = {&date.month, &date.day, &date.year};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (size_t i = 0; i < 3; ++i) {
        auto [next, error] = std::from_chars(at, end, *parts[i]);
        if (error != std::errc() || (i < 2 && (next == end || *next != '/'))) {
            return std::nullopt;
        }
        at = i < 2 ? next + 1 : next;
    }
    if (at != end || !IsUsableCalendarDate(date) || TextOf(date) != text) {
        return std::nullopt;
    }
    return date;
}

std::vector<CalendarExportEvent> CalendarExportEvents(const HolidayCalendar& calendar,
                                                      std::vector<std::string>* unmatched) {
    std::vector<CalendarExportEvent> events;
    std::vector<std::string> seen;
    auto add = [&](const std::string& text, std::string summary, std::string_view kind) {
        if (std::find(seen.begin(), seen.end(), text) != seen.end()) {
            return;
        }
        seen.push_back(text);
        const std::optional<CalendarDate> date = DateFromText(text);
        if (!date) {
            if (unmatched != nullptr) {
                unmatched->push_back(text);
            }
            return;
        }
        char day[16];
        std::snprintf(day, sizeof day, "%04d%02d%02d", date->year, date->month, date->day);
        events.push_back({*date, std::move(summary), "chimeon-" + std::string(kind) + "-" + day});
    };
    // The first extra working day of a date applies, and overrides a day off on that date.
    for (const ExtraWorkDay& day : calendar.extraWorkDays) {
        add(day.date, "班 " + day.table, "work");
    }
    for (const std::string& date : calendar.daysOff) {
        add(date, "休", "off");
    }
    return events;
}

}  // namespace chimeon
