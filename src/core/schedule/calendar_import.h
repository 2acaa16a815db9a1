#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/schedule/holiday_calendar.h"
#include "core/schedule/holiday_editor.h"
#include "core/schedule/table_id.h"

namespace chimeon {

// The bounds within which an office calendar file is read; a file past any of them is refused
// whole, so a damaged or hostile file never reaches the stored calendar.
struct CalendarFileLimits {
    std::size_t maxBytes = 16u << 20;
    std::size_t maxEvents = 10000;
    std::size_t maxDates = 10000;  // the days all events cover, recurrences expanded
    // Steps through a rule's recurrences (those an EXDATE drops, or several on one day,
    // included), so that a rule that never reaches a new day still ends.
    std::size_t maxRuleSteps = 1000000;
};

// One day an event of the file covers: its local date, and the event's summary.
struct CalendarFileDay {
    CalendarDate date;
    std::string summary;
};

// What reading a calendar file gives: the days, or why the file was refused.
struct CalendarFileRead {
    std::vector<CalendarFileDay> days;
    std::string problem;  // the operator's words; empty when read
    bool Ok() const { return problem.empty(); }
};

// The refusals of a file, in the operator's words.
std::string FileTooLargeProblem(const CalendarFileLimits& limits);
std::string TooManyEventsProblem(const CalendarFileLimits& limits);
std::string TooManyDatesProblem(const CalendarFileLimits& limits);
std::string RuleTooLongProblem(const CalendarFileLimits& limits, std::string_view summary);

// How an event says what its days are, and which table an extra working day plays.
struct CalendarImportOptions {
    std::string offMark = "休";
    std::string workMark = "班";
    // One table for every extra working day; none: the weekday's own table.
    std::optional<TableId> table;
};

// What an import would do to the calendar, date texts in file order, each once.
struct CalendarImportPlan {
    std::vector<std::string> addDaysOff;
    std::vector<ExtraWorkDay> addWorkDays;
    std::vector<std::string> already;    // listed already as the file says
    std::vector<std::string> past;       // before today: not taken
    std::vector<std::string> conflicts;  // off and working at once: not taken
    std::vector<std::string> skipped;    // outside the stored range: not taken

    bool ChangesNothing() const { return addDaysOff.empty() && addWorkDays.empty(); }
};

// An event is a working day when its summary holds the work mark and not the off mark, a day off
// otherwise. A working day's table is the one named in its summary after the mark ("班 模板2",
// as the export writes it), else the options' choice. A date the file marks both ways, or the
// other way than the stored calendar does, is a conflict and left for the operator.
CalendarImportPlan PlanCalendarImport(const HolidayCalendar& stored,
                                      const std::vector<CalendarFileDay>& days,
                                      const CalendarImportOptions& options, CalendarDate today);

// Appends the plan's new entries.
void ApplyCalendarImport(HolidayCalendar& calendar, const CalendarImportPlan& plan);

// The plan in the operator's words, a line for each kind of date that has any.
std::string DescribeCalendarImport(const CalendarImportPlan& plan);

// One all-day event of an export.
struct CalendarExportEvent {
    CalendarDate date;
    std::string summary;
    std::string uid;  // the same for the same date and kind at every export
};

// The calendar in force as events: every day off no extra working day overrides ("休"), every
// extra working day with the table it plays ("班 模板1"). Weekly rest days are not events: a
// weekly rule without end would cover every week to the year 9999 on re-import. Stored date
// texts that are not a date the calendar can match (10/01/2010) go to `unmatched`.
std::vector<CalendarExportEvent> CalendarExportEvents(const HolidayCalendar& calendar,
                                                      std::vector<std::string>* unmatched);

// The date of a stored date text exactly as the calendar writes it ("10/1/2010"), else nothing.
std::optional<CalendarDate> DateFromText(std::string_view text);

}  // namespace chimeon
