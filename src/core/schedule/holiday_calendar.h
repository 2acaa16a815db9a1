#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

inline constexpr std::string_view kRestDaysFileName = "HlidSave.dat";
inline constexpr std::string_view kExtraWorkDaysFileName = "WorkSave.dat";

// A day on which a chosen table plays whatever the weekday. `date` is "%d/%d/%d" (month, day,
// year) and `table` one of the twelve stored table names; both are compared as text.
struct ExtraWorkDay {
    std::string date;
    std::string table;
    bool operator==(const ExtraWorkDay&) const = default;
};

struct HolidayCalendar {
    // Sunday first. Without a file, Sunday and Saturday are rest days.
    std::array<bool, 7> restDays{true, false, false, false, false, false, true};
    std::vector<std::string> daysOff;
    // The first entry with a date applies.
    std::vector<ExtraWorkDay> extraWorkDays;

    bool operator==(const HolidayCalendar&) const = default;

    // The table name of the first extra working day with this date text.
    std::optional<std::string> ExtraWorkDayTable(std::string_view dateText) const;
    bool IsDayOff(std::string_view dateText) const;
    // 0 = Sunday; any other number is never a rest day.
    bool IsRestDay(int weekday) const;
};

// Reads both files from the folder. Never fails: a missing file leaves its part at the defaults,
// and a first line of "HlidSave.dat" that is not seven bytes long leaves the whole calendar at
// the defaults.
HolidayCalendar LoadHolidayCalendar(const std::filesystem::path& folder);

struct CalendarSaveResult {
    bool restDaysSaved = false;       // "HlidSave.dat"
    bool extraWorkDaysSaved = false;  // "WorkSave.dat"
};

// Writes "HlidSave.dat" and then "WorkSave.dat" (each atomically); a file that cannot be written
// is skipped and the other is still written.
[[nodiscard]] CalendarSaveResult SaveHolidayCalendar(const std::filesystem::path& folder,
                                                     const HolidayCalendar& calendar);

// The stored forms, for the files above.
std::string SerializeRestDays(const HolidayCalendar& calendar);
std::string SerializeExtraWorkDays(const HolidayCalendar& calendar);
// Applies the bytes of the two files (nothing for a missing file) to a default calendar.
HolidayCalendar ParseHolidayCalendar(const std::optional<std::string>& restDaysBytes,
                                     const std::optional<std::string>& extraWorkDaysBytes);

}  // namespace chimeon
