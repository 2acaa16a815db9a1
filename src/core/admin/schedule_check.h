#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/schedule/holiday_calendar.h"
#include "core/schedule/program_item.h"
#include "core/system/local_clock.h"

namespace chimeon {

// Something that would make a bell silently not ring.
struct Finding {
    std::string file;  // the stored file it is in ("Day1.dat", "WorkSave.dat"), or "" for none
    int row = 0;       // 1-based row or entry; 0 for the file as a whole
    std::string message;
    bool operator==(const Finding&) const = default;
};

// What the check needs to know about the media that rows name.
class MediaInspector {
public:
    enum class Kind { kMissing, kFile, kFolder, kOther };
    struct Facts {
        Kind kind = Kind::kMissing;
        bool readable = false;
        int filesInFolder = 0;  // regular files directly inside, for folders
        std::string resolved;   // the existing path it names (letter case resolved)
    };
    // What playing an existing, readable file would give.
    struct Sound {
        bool playable = true;                 // false: the player would play nothing
        std::string problem;                  // why not, in a few words
        std::optional<std::int64_t> seconds;  // its play time, when the duration probe tells it
    };
    virtual ~MediaInspector() = default;
    virtual Facts Inspect(std::string_view storedPath) = 0;
    virtual Sound Listen(const std::string& resolvedPath) = 0;
};

// Exactly the text the clock forms for a second of the day ("8:0:0"; never "08:00:00", "25:0:0").
bool IsClockTimeText(std::string_view text);
// A time of day the end-time rule reads as meant: hours 0-23, minutes and seconds 0-59, leading
// zeros allowed.
bool IsReadableTimeText(std::string_view text);
// Exactly the text the calendar forms for a real date ("10/1/2026"; never "10/01/2026").
bool IsCalendarDateText(std::string_view text);

// The findings of one table: start and end texts, the media it names, a chained first row, two
// rows with one start, a row due while an earlier row still plays.
std::vector<Finding> CheckTable(std::string_view fileName, const ScheduleTable& table,
                                MediaInspector& media);

// Calendar entries that can never match a date, and extra working days naming no table.
std::vector<Finding> CheckCalendar(const HolidayCalendar& calendar);

// The calendar files themselves: one that is there but cannot be read, and a first line of
// "HlidSave.dat" that is not seven flags (the whole calendar then falls back to its defaults).
std::vector<Finding> CheckCalendarFiles(const std::filesystem::path& folder);

// Everything above for a data directory: the calendar files and entries, and every table that
// plays on one of the `days` days from `from` (each read once; a table file that is there but
// cannot be read is a finding).
std::vector<Finding> CheckDataDirectory(const std::filesystem::path& folder,
                                        const LocalDateTime& from, int days, MediaInspector& media);

}  // namespace chimeon
