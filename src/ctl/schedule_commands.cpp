#include "ctl/schedule_commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>

#include "core/admin/file_system_inspector.h"
#include "core/admin/schedule_check.h"
#include "core/engine/clock_text.h"
#include "core/engine/duration_probe.h"
#include "core/engine/todays_table.h"
#include "core/history/play_history.h"
#include "core/io/media_path.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/media_kind.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/stored_table.h"
#include "core/system/clock_health.h"
#include "ctl/json_output.h"
#include "platform/audio/audio_path_check.h"
#include "platform/engine/gst_level.h"
#include "platform/engine/gst_stream_probe.h"
#include "platform/system/system_local_clock.h"
#include "platform/system/timedated_clock_sync.h"

namespace chimeon::ctl {
namespace {

using Json = nlohmann::ordered_json;

// The moment to count from: the one given ("YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD"), or now when
// none was given. An empty one is no moment.
std::optional<LocalDateTime> MomentFrom(const std::optional<std::string>& given) {
    if (!given) {
        return SystemLocalClock().Now();
    }
    const std::string& text = *given;
    auto date = ParseIsoDate(text.substr(0, 10));
    if (!date) {
        return std::nullopt;
    }
    LocalDateTime moment = CivilDay(date->year, date->month, date->day);
    if (text.size() > 10) {
        int hour = -1, minute = -1, second = -1;
        char extra = 0;
        if (std::sscanf(text.c_str() + 10, " %d:%d:%d%c", &hour, &minute, &second, &extra) != 3 ||
            hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
            return std::nullopt;
        }
        moment.hour = hour;
        moment.minute = minute;
        moment.second = second;
    }
    return moment;
}

std::string IsoOf(const LocalDateTime& date) {
    return IsoDate(date.year, date.month, date.day);
}

int SecondOfDay(const LocalDateTime& moment) {
    return moment.hour * 3600 + moment.minute * 60 + moment.second;
}

std::string HowLongUntil(std::int64_t seconds) {
    std::int64_t days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60;
    std::string text = "in ";
    if (days > 0) {
        text += std::to_string(days) + " d ";
    }
    if (days > 0 || hours > 0) {
        text += std::to_string(hours) + " h ";
    }
    return text + std::to_string(minutes) + " min " + std::to_string(seconds % 60) + " s";
}

int NotAMoment(const CommandContext& context, const std::string& text) {
    return UsageError(context,
                      "\"" + PrintableText(text) + "\" is not a moment (YYYY-MM-DD HH:MM:SS)");
}

}  // namespace

int RunDay(const CommandContext& context, const std::optional<std::string>& dateText) {
    auto moment = MomentFrom(dateText);
    if (!moment || (dateText && dateText->size() != 10)) {
        return UsageError(
            context, "\"" + PrintableText(dateText.value_or("")) + "\" is not a date (YYYY-MM-DD)");
    }
    LocalDateTime date = CivilDay(moment->year, moment->month, moment->day);
    HolidayCalendar calendar = LoadHolidayCalendar(context.dataDirectory);
    TableChoice choice = ChooseTable(date, calendar);
    if (dateText && IsoOf(date) != IsoOf(SystemLocalClock().Now())) {
        choice.statusText = StatusTextFor(choice, IsoOf(date) + " ");  // not "今天" of another day
    }
    LoadedTable table;
    if (choice.table) {
        table = LoadStoredTable(context.dataDirectory, *choice.table);
        std::string file = TableFileName(*choice.table);
        if (table.missing) {
            *context.err << "chimeonctl: " << file << " does not exist: nothing plays that day"
                         << std::endl;
        } else if (table.unreadable) {
            *context.err << "chimeonctl: cannot read " << file << " ("
                         << PrintableText(table.problem)
                         << "): the program keeps the rows it showed before" << std::endl;
        }
    } else if (!choice.noBroadcastToday) {
        *context.err << "chimeonctl: \"" << PrintableText(choice.tableName)
                     << "\" names no table: nothing plays that day" << std::endl;
    }

    Json rows = Json::array();
    for (const ProgramItem& item : table.rows) {
        auto resolved = ResolveMediaPath(item.path, context.dataDirectory);
        auto duration = IsFolderPath(item.path)
                            ? std::nullopt
                            : ProbeDuration(PathInDataDirectory(item.path, context.dataDirectory));
        rows.push_back({{"title", item.title},
                        {"start", item.start},
                        {"end", item.end},
                        {"volume", item.volume},
                        {"mode", item.mode},
                        {"path", item.path},
                        {"exists", resolved.has_value()},
                        {"duration", duration ? Json(*duration) : Json(nullptr)}});
    }
    Json day = {{"date", IsoOf(date)},
                {"date_text", DateText(date)},
                {"weekday", date.weekday},
                {"broadcast", !choice.noBroadcastToday},
                {"table", choice.noBroadcastToday ? Json(nullptr) : Json(choice.tableName)},
                {"file", choice.table ? Json(TableFileName(*choice.table)) : Json(nullptr)},
                {"status", choice.statusText},
                {"rows", rows}};
    if (context.json) {
        PrintJsonLine(context, day);
        return kExitOk;
    }
    std::ostream& out = *context.out;
    out << IsoOf(date) << " (" << DateText(date) << "), weekday " << date.weekday << '\n'
        << PrintableText(choice.statusText) << '\n';
    if (choice.table) {
        out << "table " << PrintableText(choice.tableName) << " (" << TableFileName(*choice.table)
            << ")\n";
    }
    int number = 0;
    for (const auto& row : rows) {
        auto field = [&row](const char* name) {
            return PrintableText(row[name].get<std::string>());
        };
        out << ++number << '\t' << field("start") << '\t' << field("end") << '\t' << field("volume")
            << '\t' << field("mode") << '\t'
            << (row["duration"].is_null() ? "-" : field("duration")) << '\t' << field("title")
            << '\t' << field("path") << (row["exists"].get<bool>() ? "" : "  [missing]") << '\n';
    }
    out.flush();
    return kExitOk;
}

int RunNext(const CommandContext& context, int count,
            const std::optional<std::string>& momentText) {
    auto now = MomentFrom(momentText);
    if (!now) {
        return NotAMoment(context, *momentText);
    }
    if (count < 1 || count > kMaxNextCount) {
        return UsageError(context, "--count must be 1 to " + std::to_string(kMaxNextCount));
    }
    HolidayCalendar calendar = LoadHolidayCalendar(context.dataDirectory);
    std::map<TableId, LoadedTable> tables;
    const LocalDateTime today = CivilDay(now->year, now->month, now->day);
    const int nowSecond = SecondOfDay(*now);
    int listed = 0;
    // A year and a day covers every weekday and every dated calendar entry.
    constexpr int kLastDay = 366;
    for (int offset = 0; offset <= kLastDay && listed < count; ++offset) {
        LocalDateTime date = DaysLater(today, offset);
        TableChoice choice = ChooseTable(date, calendar);
        if (!choice.table) {
            continue;
        }
        auto found = tables.find(*choice.table);
        if (found == tables.end()) {
            found =
                tables.emplace(*choice.table, LoadStoredTable(context.dataDirectory, *choice.table))
                    .first;
            if (found->second.unreadable) {
                *context.err << "chimeonctl: cannot read " << TableFileName(*choice.table) << " ("
                             << PrintableText(found->second.problem)
                             << "): its starts are not listed" << std::endl;
            }
        }
        const ScheduleTable& rows = found->second.rows;
        // Only the first row with a start text plays at it; rows start in time order.
        std::map<int, size_t> starts;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (IsClockTimeText(rows[i].start)) {
                int second = static_cast<int>(StoredTimeSeconds(rows[i].start));
                if (offset > 0 || second > nowSecond) {
                    starts.emplace(second, i);
                }
            }
        }
        for (const auto& [second, index] : starts) {
            if (listed == count) {
                break;
            }
            ++listed;
            std::int64_t until = static_cast<std::int64_t>(offset) * 86400 + second - nowSecond;
            for (size_t i = index; i < rows.size() && (i == index || rows[i].IsChained()); ++i) {
                bool chained = i != index;
                Json entry = {{"date", IsoOf(date)},
                              {"time", chained ? std::string(kStartChained) : rows[i].start},
                              {"table", choice.tableName},
                              {"file", TableFileName(*choice.table)},
                              {"row", static_cast<int>(i + 1)},
                              {"title", rows[i].title},
                              {"after_row", chained ? Json(static_cast<int>(i)) : Json(nullptr)},
                              {"in_seconds", until}};
                if (context.json) {
                    PrintJsonLine(context, entry);
                } else if (chained) {
                    *context.out << "    then row " << i + 1 << "  " << PrintableText(rows[i].title)
                                 << '\n';
                } else {
                    *context.out << IsoOf(date) << ' ' << rows[i].start << "  "
                                 << PrintableText(choice.tableName) << " row " << i + 1 << "  "
                                 << PrintableText(rows[i].title) << "  (" << HowLongUntil(until)
                                 << ")\n";
                }
            }
        }
    }
    context.out->flush();
    if (listed < count) {
        *context.err << "chimeonctl: " << listed << " of " << count
                     << " starts found; none after that within a year and a day" << std::endl;
    }
    return kExitOk;
}

int RunCheck(const CommandContext& context, int days,
             const std::optional<std::string>& momentText) {
    auto now = MomentFrom(momentText);
    if (!now) {
        return NotAMoment(context, *momentText);
    }
    if (days < 1 || days > kMaxCheckDays) {
        return UsageError(context, "--days must be 1 to " + std::to_string(kMaxCheckDays));
    }
    GstDiscovererStreamProbe streams;
    GstLevelProbe levels;
    FileSystemInspector media(context.dataDirectory, &streams, &levels);
    std::vector<Finding> findings = CheckDataDirectory(context.dataDirectory, *now, days, media);
    for (const std::string& problem : AudioPathProblems()) {
        findings.push_back({"", 0, problem});
    }
    // Every start is only as exact as the PC's clock.
    if (std::string clock = ClockHealthProblem(TimedatedClockSync().Ask()); !clock.empty()) {
        findings.push_back({"", 0, clock});
    }

    for (const Finding& finding : findings) {
        if (context.json) {
            PrintJsonLine(
                context,
                {{"file", finding.file}, {"row", finding.row}, {"message", finding.message}});
            continue;
        }
        std::ostream& out = *context.out;
        if (!finding.file.empty()) {
            out << PrintableText(finding.file) << ':';
            if (finding.row > 0) {
                out << finding.row << ':';
            }
            out << ' ';
        }
        out << PrintableText(finding.message) << '\n';
    }
    context.out->flush();
    if (!context.json && findings.empty()) {
        *context.err << "chimeonctl: nothing found in the next " << days << " days" << std::endl;
    }
    return findings.empty() ? kExitOk : kExitFindings;
}

}  // namespace chimeon::ctl
