#include "core/admin/schedule_check.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "core/engine/clock_text.h"
#include "core/engine/todays_table.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/stored_lines.h"
#include "core/schedule/media_kind.h"
#include "core/schedule/stored_table.h"
#include "core/schedule/table_id.h"

namespace chimeon {
namespace {

// The decimal numbers of a text split at `separator`; nothing when any part is empty, holds a
// non-digit, or (when `canonical`) has a leading zero.
std::optional<std::vector<int>> Numbers(std::string_view text, char separator, size_t count,
                                        bool canonical) {
    std::vector<int> numbers;
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t end = i + 1 == count ? text.size() : text.find(separator, start);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view part = text.substr(start, end - start);
        if (part.empty() || part.size() > 4 ||
            (canonical && part.size() > 1 && part.front() == '0')) {
            return std::nullopt;
        }
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + (c - '0');
        }
        numbers.push_back(value);
        start = end + 1;
    }
    return numbers;
}

bool TimeInRange(const std::vector<int>& parts) {
    return parts[0] < 24 && parts[1] < 60 && parts[2] < 60;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// When a row is known to play: from its start to its end (exclusive), in seconds of the day.
struct Playing {
    int row = 0;  // 1-based
    std::int64_t from = 0;
    std::int64_t until = 0;
};

}  // namespace

bool IsClockTimeText(std::string_view text) {
    auto parts = Numbers(text, ':', 3, /*canonical=*/true);
    return parts && TimeInRange(*parts);
}

bool IsReadableTimeText(std::string_view text) {
    auto parts = Numbers(text, ':', 3, /*canonical=*/false);
    return parts && TimeInRange(*parts);
}

bool IsCalendarDateText(std::string_view text) {
    auto parts = Numbers(text, '/', 3, /*canonical=*/true);
    if (!parts || (*parts)[2] < 1000) {
        return false;
    }
    std::chrono::year_month_day date{std::chrono::year{(*parts)[2]},
                                     std::chrono::month{static_cast<unsigned>((*parts)[0])},
                                     std::chrono::day{static_cast<unsigned>((*parts)[1])}};
    return date.ok();
}

std::vector<Finding> CheckTable(std::string_view fileName, const ScheduleTable& table,
                                MediaInspector& media) {
    std::vector<Finding> findings;
    auto add = [&](size_t index, std::string message) {
        findings.push_back(
            {std::string(fileName), static_cast<int>(index + 1), std::move(message)});
    };
    std::map<std::string, size_t> firstWithStart;
    std::vector<Playing> known;

    for (size_t i = 0; i < table.size(); ++i) {
        const ProgramItem& item = table[i];
        const bool timed = !item.IsChained();
        if (item.IsChained() && i == 0) {
            add(i, "a chained first row never starts by time");
        }
        if (timed && !IsClockTimeText(item.start)) {
            add(i, "start " + Quoted(item.start) +
                       " never equals the clock's time (written like 8:0:0)");
        }
        if (!item.IsPlayOnce() && !IsReadableTimeText(item.end)) {
            add(i, "end " + Quoted(item.end) + " is not a time of day: the item ends at once");
        }
        if (timed && IsClockTimeText(item.start)) {
            auto [first, inserted] = firstWithStart.emplace(item.start, i);
            if (!inserted) {
                add(i, "same start as row " + std::to_string(first->second + 1) +
                           ": only the first can play");
            }
            std::int64_t second = StoredTimeSeconds(item.start);
            for (const Playing& playing : known) {
                if (second > playing.from && second < playing.until) {
                    add(i, "starts at " + item.start + " while row " + std::to_string(playing.row) +
                               " still plays (until " +
                               TimeText(static_cast<int>(playing.until % kSecondsPerDay)) +
                               "): it is skipped");
                    break;
                }
            }
        }

        std::optional<std::int64_t> length;
        if (IsFolderPath(item.path)) {
            auto facts = media.Inspect(item.path);
            if (facts.kind != MediaInspector::Kind::kFolder) {
                add(i, "folder " + Quoted(item.path) + " does not exist");
            } else if (facts.filesInFolder == 0) {
                add(i, "folder " + Quoted(item.path) + " holds no file");
            }
        } else {
            auto facts = media.Inspect(item.path);
            if (facts.kind == MediaInspector::Kind::kMissing) {
                add(i, "file " + Quoted(item.path) + " does not exist");
            } else if (facts.kind != MediaInspector::Kind::kFile || !facts.readable) {
                add(i, "file " + Quoted(item.path) + " cannot be read");
            } else {
                MediaInspector::Sound sound = media.Listen(facts.resolved);
                if (!sound.playable) {
                    add(i, "file " + Quoted(item.path) + " " + sound.problem);
                }
                length = sound.seconds;
            }
        }

        // What the row keeps playing, for the rows after it.
        if (timed && IsClockTimeText(item.start)) {
            std::int64_t from = StoredTimeSeconds(item.start);
            if (item.IsPlayOnce() && length && *length > 0) {
                known.push_back({static_cast<int>(i + 1), from, from + *length});
            } else if (!item.IsPlayOnce() && IsReadableTimeText(item.end)) {
                std::int64_t until = StoredTimeSeconds(item.end);
                if (until > from) {
                    known.push_back({static_cast<int>(i + 1), from, until});
                }
            }
        }
    }
    return findings;
}

std::vector<Finding> CheckCalendar(const HolidayCalendar& calendar) {
    std::vector<Finding> findings;
    for (size_t i = 0; i < calendar.daysOff.size(); ++i) {
        const std::string& date = calendar.daysOff[i];
        if (!IsCalendarDateText(date)) {
            // Line 1 holds the rest days; days off follow from line 2.
            findings.push_back(
                {std::string(kRestDaysFileName), static_cast<int>(i + 2),
                 "day off " + Quoted(date) + " never matches a date (written like 10/1/2026)"});
        }
    }
    // The file holds the entries last first: walk them in file order, reporting each one's line.
    const size_t count = calendar.extraWorkDays.size();
    for (size_t fromEnd = 0; fromEnd < count; ++fromEnd) {
        const ExtraWorkDay& day = calendar.extraWorkDays[count - 1 - fromEnd];
        int line = static_cast<int>(fromEnd * 2 + 1);
        if (!IsCalendarDateText(day.date)) {
            findings.push_back({std::string(kExtraWorkDaysFileName), line,
                                "extra working day " + Quoted(day.date) +
                                    " never matches a date (written like 10/1/2026)"});
        }
        if (!TableIdFromName(day.table)) {
            findings.push_back(
                {std::string(kExtraWorkDaysFileName), line + 1,
                 "extra working day " + day.date + " names no table: " + Quoted(day.table)});
        }
    }
    return findings;
}

std::vector<Finding> CheckCalendarFiles(const std::filesystem::path& folder) {
    std::vector<Finding> findings;
    for (std::string_view name : {kRestDaysFileName, kExtraWorkDaysFileName}) {
        StoredFileRead read = ReadStoredFileOrProblem(folder / name);
        if (read.state == StoredFileRead::State::kUnreadable) {
            findings.push_back(
                {std::string(name), 0,
                 "cannot be read (" + read.problem + "): the calendar's defaults apply"});
        }
        if (read.state != StoredFileRead::State::kRead) {
            continue;
        }
        if (name == kRestDaysFileName && StoredLineReader(read.bytes).Next().size() != 7) {
            findings.push_back(
                {std::string(name), 1,
                 "the first line is not seven 0/1 flags: the whole calendar is ignored "
                 "(Saturday and Sunday rest, no days off, no extra working days)"});
        }
    }
    return findings;
}

std::vector<Finding> CheckDataDirectory(const std::filesystem::path& folder,
                                        const LocalDateTime& from, int days,
                                        MediaInspector& media) {
    std::vector<Finding> findings = CheckCalendarFiles(folder);
    HolidayCalendar calendar = LoadHolidayCalendar(folder);
    auto calendarFindings = CheckCalendar(calendar);
    findings.insert(findings.end(), calendarFindings.begin(), calendarFindings.end());

    std::set<TableId> tablesInUse;
    const LocalDateTime firstDay = CivilDay(from.year, from.month, from.day);
    for (int offset = 0; offset < days; ++offset) {
        if (auto table = ChooseTable(DaysLater(firstDay, offset), calendar).table) {
            tablesInUse.insert(*table);
        }
    }
    for (TableId id : tablesInUse) {
        LoadedTable table = LoadStoredTable(folder, id);
        if (table.unreadable) {
            findings.push_back({TableFileName(id), 0,
                                "cannot be read (" + table.problem +
                                    "): the program keeps the rows it showed before"});
            continue;
        }
        auto tableFindings = CheckTable(TableFileName(id), table.rows, media);
        findings.insert(findings.end(), tableFindings.begin(), tableFindings.end());
    }
    return findings;
}

}  // namespace chimeon
