#include "core/schedule/calendar_import.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

// The plan in one line: "kind:date[=table] ...", kinds in the plan's order.
std::string Described(const CalendarImportPlan& plan) {
    std::string out;
    auto list = [&](std::string_view kind, const std::vector<std::string>& dates) {
        for (const std::string& date : dates) {
            out += std::string(kind) + ":" + date + " ";
        }
    };
    list("off", plan.addDaysOff);
    for (const ExtraWorkDay& day : plan.addWorkDays) {
        out += "work:" + day.date + "=" + day.table + " ";
    }
    list("already", plan.already);
    list("past", plan.past);
    list("conflict", plan.conflicts);
    list("skipped", plan.skipped);
    return out;
}

TEST(CalendarImportPlan, SortsEveryDateOfTheFile) {
    HolidayCalendar stored;
    stored.daysOff = {"10/1/2030"};
    stored.extraWorkDays = {{"9/29/2030", "星期一"}};
    const CalendarDate today{2030, 1, 1};
    struct Row {
        std::vector<CalendarFileDay> days;
        CalendarImportOptions options;
        std::string plan;
    } rows[] = {
        // Unmarked and "休" are days off; "班" plays the weekday's own table (a Sunday here).
        {{{{2030, 10, 2}, "国庆节"}, {{2030, 10, 3}, "休"}, {{2030, 10, 13}, "国庆调休上班"}},
         {},
         "off:10/2/2030 off:10/3/2030 work:10/13/2030=星期日 "},
        // A table the summary names wins; a chosen table stands for the rest.
        {{{{2030, 10, 12}, "班 模板2"}, {{2030, 10, 13}, "班"}},
         {.table = TableId::kTemplate1},
         "work:10/12/2030=模板2 work:10/13/2030=模板1 "},
        // Against the stored calendar: the same is already there, the other way a conflict.
        {{{{2030, 10, 1}, "休"}, {{2030, 9, 29}, "班 星期一"}, {{2030, 9, 29}, "班 星期一"}},
         {},
         "already:10/1/2030 already:9/29/2030 "},
        {{{{2030, 10, 1}, "班"}, {{2030, 9, 29}, "休"}, {{2030, 9, 29}, "班 模板3"}},
         {},
         "conflict:10/1/2030 conflict:9/29/2030 "},
        // Both ways in the file, before today, outside the stored years, marks of one's own.
        {{{{2031, 5, 1}, "休"},
          {{2031, 5, 1}, "班"},
          {{2029, 12, 31}, "休"},
          {{1969, 12, 31}, ""},
          {{10000, 1, 1}, ""},
          {{2030, 2, 30}, ""}},
         {},
         "past:12/31/2029 conflict:5/1/2031 skipped:12/31/1969 skipped:1/1/10000 "
         "skipped:2/30/2030 "},
        {{{{2030, 3, 1}, "Holiday"}, {{2030, 3, 2}, "Workday"}, {{2030, 3, 3}, "调休"}},
         {.offMark = "Holiday", .workMark = "Work", .table = std::nullopt},
         "off:3/1/2030 off:3/3/2030 work:3/2/2030=星期六 "},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Described(PlanCalendarImport(stored, row.days, row.options, today)), row.plan)
            << row.plan;
    }
}

// Exported events name their table and kind, so that planning them against the calendar they
// came from finds everything already there; dates the calendar cannot match are not exported.
TEST(CalendarImportPlan, ExportedCalendarIsAlreadyThere) {
    HolidayCalendar calendar;
    calendar.daysOff = {"10/1/2030", "10/01/2030", "9/29/2030", "10/1/2030"};
    calendar.extraWorkDays = {{"9/29/2030", "模板4"}, {"9/29/2030", "星期一"}};
    std::vector<std::string> unmatched;
    const auto events = CalendarExportEvents(calendar, &unmatched);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].summary, "班 模板4");
    EXPECT_EQ(events[0].uid, "chimeon-work-20300929");
    EXPECT_EQ(events[1].uid, "chimeon-off-20301001");
    EXPECT_EQ(unmatched, std::vector<std::string>{"10/01/2030"});
    std::vector<CalendarFileDay> days;
    for (const auto& event : events) {
        days.push_back({event.date, event.summary});
    }
    const CalendarImportPlan plan = PlanCalendarImport(calendar, days, {}, {2030, 1, 1});
    EXPECT_EQ(Described(plan), "already:9/29/2030 already:10/1/2030 ");
    EXPECT_TRUE(plan.ChangesNothing());
}

}  // namespace
}  // namespace chimeon
