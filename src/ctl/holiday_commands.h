#pragma once

#include <string>

#include "core/schedule/calendar_import.h"
#include "ctl/command_context.h"
#include "ctl/table_transfer_command.h"

namespace chimeon::ctl {

struct HolidayImportOptions {
    CalendarImportOptions marks;
    std::string table;    // empty: each working day plays its weekday's table
    bool yes = false;     // write the plan
    bool dryRun = false;  // only print it
    ImportOptions login;
};

// Prints what an office calendar file (.ics) would add to the holiday calendar and, with --yes,
// adds it. Without --yes or --dry-run nothing is written and the status is the usage one, so that
// a script that forgot to confirm never takes the plan for a done import.
int RunHolidayImport(const CommandContext& context, const std::string& file,
                     const HolidayImportOptions& options);

// Writes the calendar in force to an .ics file.
int RunHolidayExport(const CommandContext& context, const std::string& file);

}  // namespace chimeon::ctl
