// chimeonctl: answers an administrator's questions about the broadcast data directory.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <optional>

#include "core/app/program_directory.h"
#include "core/app/program_version.h"
#include "core/io/atomic_write.h"
#include "ctl/command_context.h"
#include "ctl/history_command.h"
#include "ctl/holiday_commands.h"
#include "ctl/live_commands.h"
#include "ctl/media_commands.h"
#include "ctl/schedule_commands.h"
#include "ctl/table_transfer_command.h"
#include "ctl/zones_command.h"

int main(int argc, char* argv[]) {
    using namespace chimeon;
    using namespace chimeon::ctl;

    CLI::App app{"chimeonctl: inspect and check the broadcast schedule of Chimeon"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "chimeonctl " + std::string(ProgramVersion()));
    std::string dataDirectory;
    app.add_option("--data-dir", dataDirectory, "data directory (default: the program's own)");

    bool json = false;
    std::string since, until;
    auto* history = app.add_subcommand(
        "history",
        "the play history, oldest first, one line per event; rows are numbered from 1, as day, "
        "next and check number them");
    auto* sinceGiven = history->add_option("--since", since, "first date, YYYY-MM-DD");
    auto* untilGiven = history->add_option("--until", until, "last date, YYYY-MM-DD");
    history->add_flag("--json", json, "one JSON object per line");

    std::vector<std::string> mediaFiles;
    auto* mp3info = app.add_subcommand("mp3info", "every fact of the MP3 analysis of each file");
    mp3info->add_option("FILE", mediaFiles, "MP3 files")->required();
    mp3info->add_flag("--json", json, "one JSON object per file");
    auto* probe = app.add_subcommand("probe", "the play time the duration probe gives each file");
    probe->add_option("FILE", mediaFiles, "WAV or MP3 files")->required();
    probe->add_flag("--json", json, "one JSON object per file");

    std::string date, moment;
    int count = 5, days = 14;
    auto* day = app.add_subcommand("day", "what plays on a date, by the calendar and the tables");
    auto* dateGiven = day->add_option("DATE", date, "YYYY-MM-DD (default: today)");
    day->add_flag("--json", json, "one JSON object");
    auto* next = app.add_subcommand("next", "the next starts, across days");
    next->add_option("--count", count,
                     "how many starts, 1 to " + std::to_string(kMaxNextCount) +
                         " (default 5); the search ends a year and a day ahead");
    auto* nextAt = next->add_option("--at", moment,
                                    "count from this moment, YYYY-MM-DD HH:MM:SS (default: now)");
    next->add_flag("--json", json, "one JSON object per start");
    auto* check =
        app.add_subcommand("check", "everything that would make a bell silently not ring");
    check->add_option(
        "--days", days,
        "how many days ahead, 1 to " + std::to_string(kMaxCheckDays) + " (default 14)");
    auto* checkAt =
        check->add_option("--at", moment, "from this moment, YYYY-MM-DD HH:MM:SS (default: now)");
    check->add_flag("--json", json, "one JSON object per finding");

    std::string table, file;
    auto* exportTable = app.add_subcommand("export", "a stored table as JSON");
    exportTable
        ->add_option("TABLE", table,
                     "星期一 ... 星期日, 模板1 ... 模板5, or the file name (Day1.dat)")
        ->required();

    ImportOptions importOptions;
    auto* importTable =
        app.add_subcommand("import", "replace a stored table with a JSON file (after checks)");
    importTable->add_option("TABLE", table, "the table to replace")->required();
    importTable->add_option("FILE", file, "the JSON file, or - for standard input")->required();
    importTable->add_flag("--password-stdin", importOptions.passwordFromStdin,
                          "read the login password from the first line of standard input");

    HolidayImportOptions holidayOptions;
    std::string calendarFile;
    auto* holidays = app.add_subcommand("holidays", "the holiday calendar and iCalendar files");
    holidays->require_subcommand(1);
    auto* holidayImport = holidays->add_subcommand(
        "import",
        "add the days of an .ics file as days off and extra working days; prints the plan "
        "(add-off, add-work, already, past, conflict, skipped) and writes only with --yes");
    holidayImport->add_option("FILE", calendarFile, "the .ics file")->required();
    holidayImport->add_option("--off-mark", holidayOptions.marks.offMark,
                              "text of a summary that marks a day off (default 休)");
    holidayImport->add_option("--work-mark", holidayOptions.marks.workMark,
                              "text of a summary that marks a working day (default 班); the "
                              "mark that stands last decides, an event without one is a day off");
    holidayImport->add_option("--table", holidayOptions.table,
                              "the table of every working day (default: the one the event "
                              "names, else the weekday's own)");
    holidayImport->add_flag("--yes", holidayOptions.yes, "write the plan");
    holidayImport->add_flag("--dry-run", holidayOptions.dryRun, "only print the plan");
    holidayImport->add_flag("--json", json, "one JSON object per date");
    holidayImport->add_flag("--password-stdin", holidayOptions.login.passwordFromStdin,
                            "read the login password from the first line of standard input");
    auto* holidayExport =
        holidays->add_subcommand("export", "write the calendar in force as an .ics file");
    holidayExport->add_option("FILE", calendarFile, "the .ics file to write")->required();

    // The running broadcaster of the data directory, on the session bus.
    const std::string live = " (the running broadcaster)";
    app.footer(
        "status, play, stop, auto, manual and reload talk to the running broadcaster of the data "
        "directory over the session bus: exit status 2 when none runs, 1 when it refused the "
        "command (its reminder is printed).");
    auto* status = app.add_subcommand(
        "status", "today's list, mode, current row, next start and notices" + live);
    status->add_flag("--json", json, "one JSON object");
    int playRow = 0;
    auto* play = app.add_subcommand("play", "play a row of today's list now" + live);
    play->add_option("ROW", playRow, "the row as the today page shows it, numbered from 1")
        ->required();
    auto* stop = app.add_subcommand("stop", "stop what plays" + live);
    auto* automatic = app.add_subcommand("auto", "automatic mode: rows start at their time" + live);
    auto* manual = app.add_subcommand("manual", "manual mode: nothing starts by itself" + live);
    auto* reload = app.add_subcommand(
        "reload", "read the tables, the calendar and setup.ini again, as SIGHUP does" + live);
    auto* zones = app.add_subcommand(
        "zones", "the network output's zones and clients, from the Snapcast server in setup.ini");
    zones->add_flag("--json", json, "one JSON object per zone");

    TreatFileSizeLimitAsWriteFailure();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return status == 0 ? kExitOk : kExitUsage;
    }

    CommandContext context;
    context.json = json;
    context.out = &std::cout;
    context.err = &std::cerr;
    if (dataDirectory.empty()) {
        context.dataDirectory = ResolveProgramDirectory(
            ExecutableFolder(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    } else {
        context.dataDirectory = dataDirectory;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(context.dataDirectory, error)) {
        return UsageError(context, "no data directory at " + context.dataDirectory.string());
    }

    if (status->parsed()) {
        return RunStatus(context);
    }
    const std::pair<CLI::App*, LiveCommand> liveCommands[] = {{play, LiveCommand::kPlay},
                                                              {stop, LiveCommand::kStop},
                                                              {automatic, LiveCommand::kAutomatic},
                                                              {manual, LiveCommand::kManual},
                                                              {reload, LiveCommand::kReload}};
    for (const auto& [subcommand, command] : liveCommands) {
        if (subcommand->parsed()) {
            return RunLive(context, command, playRow);
        }
    }
    if (mp3info->parsed()) {
        return RunMp3Info(context, mediaFiles);
    }
    if (probe->parsed()) {
        return RunProbe(context, mediaFiles);
    }
    // Given, even as "", or not given at all (today, now, no bound).
    auto given = [](const CLI::Option* option, const std::string& value) {
        return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
    };
    if (day->parsed()) {
        return RunDay(context, given(dateGiven, date));
    }
    if (next->parsed()) {
        return RunNext(context, count, given(nextAt, moment));
    }
    if (check->parsed()) {
        return RunCheck(context, days, given(checkAt, moment));
    }
    if (history->parsed()) {
        return RunHistory(context, given(sinceGiven, since), given(untilGiven, until));
    }
    if (exportTable->parsed()) {
        return RunExport(context, table);
    }
    if (holidayImport->parsed()) {
        return RunHolidayImport(context, calendarFile, holidayOptions);
    }
    if (holidayExport->parsed()) {
        return RunHolidayExport(context, calendarFile);
    }
    if (zones->parsed()) {
        return RunZones(context);
    }
    if (importTable->parsed()) {
        return RunImport(context, table, file, importOptions);
    }
    return kExitUsage;
}
