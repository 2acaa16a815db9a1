#include "ctl/holiday_commands.h"

#include <chrono>
#include <iostream>

#include "core/app/program_directory.h"
#include "core/io/atomic_write.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/stored_lines.h"
#include "ctl/json_output.h"
#include "ctl/table_json.h"
#include "platform/schedule/ical_file.h"
#include "platform/system/system_local_clock.h"

namespace chimeon::ctl {
namespace {

// The stored calendar and the bytes of its two files (nothing for a missing one).
struct StoredCalendar {
    HolidayCalendar calendar;
    std::optional<std::string> parts[2];
};

constexpr std::string_view kCalendarFiles[2] = {kRestDaysFileName, kExtraWorkDaysFileName};

// The stored calendar, or nothing (said why) when a file of it is there but cannot be read or
// is damaged: a calendar loaded as the defaults and saved would lose the rest of it.
std::optional<StoredCalendar> LoadWholeCalendar(const CommandContext& context) {
    StoredCalendar stored;
    auto& parts = stored.parts;
    for (size_t i = 0; i < 2; ++i) {
        const std::filesystem::path file = context.dataDirectory / kCalendarFiles[i];
        StoredFileRead read = ReadStoredFileOrProblem(file);
        if (read.state == StoredFileRead::State::kUnreadable) {
            UsageError(context, "cannot read " + file.string() + " (" + read.problem + ")");
            return std::nullopt;
        }
        if (read.state == StoredFileRead::State::kRead) {
            parts[i] = std::move(read.bytes);
        }
    }
    if (parts[0] && StoredLineReader(*parts[0]).Next().size() != 7) {
        UsageError(context, (context.dataDirectory / kRestDaysFileName).string() +
                                " is damaged (its first line is not seven rest-day flags)");
        return std::nullopt;
    }
    stored.calendar = ParseHolidayCalendar(parts[0], parts[1]);
    return stored;
}

// Writes the files the import changes, the days off first; when the second cannot be written,
// the first gets its old bytes back, so the calendar is changed whole or not at all.
bool SaveImport(const CommandContext& context, const StoredCalendar& stored,
                const HolidayCalendar& calendar, const CalendarImportPlan& plan) {
    const bool change[2] = {!plan.addDaysOff.empty(), !plan.addWorkDays.empty()};
    const std::string bytes[2] = {SerializeRestDays(calendar), SerializeExtraWorkDays(calendar)};
    for (size_t i = 0; i < 2; ++i) {
        if (!change[i] ||
            WriteFileAtomically(context.dataDirectory / kCalendarFiles[i], bytes[i])) {
            continue;
        }
        if (i == 1 && change[0]) {
            const std::filesystem::path first = context.dataDirectory / kCalendarFiles[0];
            std::error_code ignored;
            if (stored.parts[0] ? !WriteFileAtomically(first, *stored.parts[0])
                                : !std::filesystem::remove(first, ignored)) {
                UsageError(context, "cannot restore " + first.string());
            }
        }
        UsageError(context, "cannot write " + (context.dataDirectory / kCalendarFiles[i]).string());
        return false;
    }
    return true;
}

void PrintPlan(const CommandContext& context, const CalendarImportPlan& plan) {
    auto print = [&](std::string_view kind, const std::string& date, const std::string& table) {
        if (context.json) {
            nlohmann::ordered_json line{{"plan", kind}, {"date", date}};
            if (!table.empty()) {
                line["table"] = table;
            }
            PrintJsonLine(context, line);
        } else {
            *context.out << kind << ' ' << date << (table.empty() ? "" : " ") << table << '\n';
        }
    };
    for (const std::string& date : plan.addDaysOff) {
        print("add-off", date, "");
    }
    for (const ExtraWorkDay& day : plan.addWorkDays) {
        print("add-work", day.date, day.table);
    }
    const std::pair<std::string_view, const std::vector<std::string>*> lists[] = {
        {"already", &plan.already},
        {"past", &plan.past},
        {"conflict", &plan.conflicts},
        {"skipped", &plan.skipped}};
    for (const auto& [kind, dates] : lists) {
        for (const std::string& date : *dates) {
            print(kind, date, "");
        }
    }
    context.out->flush();
}

}  // namespace

int RunHolidayImport(const CommandContext& context, const std::string& file,
                     const HolidayImportOptions& options) {
    CalendarImportOptions marks = options.marks;
    if (!options.table.empty()) {
        marks.table = TableFromArgument(options.table);
        if (!marks.table) {
            return UsageError(context, "unknown table \"" + options.table +
                                           "\": give its name (星期一, 模板1) or its file");
        }
    }
    const std::optional<StoredCalendar> stored = LoadWholeCalendar(context);
    if (!stored) {
        return UsageError(context, "nothing imported");
    }
    const CalendarFileRead read = ReadCalendarFile(file, CalendarFileLimits{});
    if (!read.Ok()) {
        return UsageError(context, file + ": " + read.problem + " nothing imported");
    }
    const LocalDateTime now = SystemLocalClock().Now();
    const CalendarImportPlan plan =
        PlanCalendarImport(stored->calendar, read.days, marks, {now.year, now.month, now.day});
    PrintPlan(context, plan);
    if (options.dryRun) {
        return kExitOk;
    }
    if (!options.yes) {
        return UsageError(context, "nothing written: give --yes to import this plan");
    }
    if (plan.ChangesNothing()) {
        *context.err << "chimeonctl: nothing to add; the calendar is unchanged" << std::endl;
        return kExitOk;
    }
    if (!EditAllowed(context, options.login)) {
        return kExitUsage;
    }
    RemoveStaleSaveTemporaries(context.dataDirectory);
    HolidayCalendar calendar = stored->calendar;
    ApplyCalendarImport(calendar, plan);
    if (!SaveImport(context, *stored, calendar, plan)) {
        return UsageError(context, "nothing imported; the calendar is unchanged");
    }
    *context.err << "chimeonctl: added " << plan.addDaysOff.size() << " days off and "
                 << plan.addWorkDays.size() << " working days" << std::endl;
    return kExitOk;
}

int RunHolidayExport(const CommandContext& context, const std::string& file) {
    const std::optional<StoredCalendar> stored = LoadWholeCalendar(context);
    if (!stored) {
        return UsageError(context, "nothing exported");
    }
    std::vector<std::string> unmatched;
    const std::vector<CalendarExportEvent> events =
        CalendarExportEvents(stored->calendar, &unmatched);
    for (const std::string& date : unmatched) {
        *context.err << "chimeonctl: \"" << PrintableText(date)
                     << "\" is no date the calendar matches; not exported\n";
    }
    const auto stamp = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    std::vector<CalendarDate> unwritten;
    if (!WriteFileAtomically(file, CalendarFileText(events, stamp, &unwritten))) {
        return UsageError(context, "cannot write " + file);
    }
    for (const CalendarDate& date : unwritten) {
        *context.err << "chimeonctl: " << date.month << '/' << date.day << '/' << date.year
                     << " is after " << kLastWritableYear
                     << ", the last year iCalendar files are written for; not exported\n";
    }
    *context.err << "chimeonctl: exported " << events.size() - unwritten.size() << " days to "
                 << file << std::endl;
    return kExitOk;
}

}  // namespace chimeon::ctl
