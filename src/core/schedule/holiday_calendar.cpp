#include "core/schedule/holiday_calendar.h"

#include <algorithm>

#include "core/io/atomic_write.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/stored_lines.h"
#include "core/text/gbk_codec.h"

namespace chimeon {
namespace {

constexpr size_t kWeekdays = 7;

}  // namespace

std::optional<std::string> HolidayCalendar::ExtraWorkDayTable(std::string_view dateText) const {
    for (const ExtraWorkDay& day : extraWorkDays) {
        if (day.date == dateText) {
            return day.table;
        }
    }
    return std::nullopt;
}

bool HolidayCalendar::IsDayOff(std::string_view dateText) const {
    return std::find(daysOff.begin(), daysOff.end(), dateText) != daysOff.end();
}

bool HolidayCalendar::IsRestDay(int weekday) const {
    return weekday >= 0 && weekday < static_cast<int>(kWeekdays) &&
           restDays[static_cast<size_t>(weekday)];
}

HolidayCalendar ParseHolidayCalendar(const std::optional<std::string>& restDaysBytes,
                                     const std::optional<std::string>& extraWorkDaysBytes) {
    HolidayCalendar calendar;
    if (restDaysBytes) {
        StoredLineReader lines(*restDaysBytes);
        std::string_view flags = lines.Next();
        if (flags.size() != kWeekdays) {
            return calendar;  // a damaged first line: nothing of either file is taken
        }
        for (size_t day = 0; day < kWeekdays; ++day) {
            calendar.restDays[day] = flags[day] == '1';
        }
        while (!lines.AtEnd()) {
            calendar.daysOff.push_back(DecodeGbk(lines.Next()));
        }
    }
    if (extraWorkDaysBytes) {
        // The file holds the pairs in the reverse of their order in memory: the pair that stands
        // later in the file comes first and applies.
        StoredLineReader lines(*extraWorkDaysBytes);
        while (!lines.AtEnd()) {
            ExtraWorkDay day;
            day.date = DecodeGbk(lines.Next());
            day.table = DecodeGbk(lines.Next());
            calendar.extraWorkDays.push_back(std::move(day));
        }
        std::reverse(calendar.extraWorkDays.begin(), calendar.extraWorkDays.end());
    }
    return calendar;
}

std::string SerializeRestDays(const HolidayCalendar& calendar) {
    std::string out;
    std::string flags;
    for (bool rest : calendar.restDays) {
        flags.push_back(rest ? '1' : '0');
    }
    AppendStoredLine(out, flags);
    for (const std::string& date : calendar.daysOff) {
        AppendStoredLine(out, EncodeGbk(date));
    }
    return out;
}

std::string SerializeExtraWorkDays(const HolidayCalendar& calendar) {
    // Written in the reverse of memory order, so that loading (which reverses) gives the same
    // list again: saving an unchanged calendar never changes which table plays on a date.
    std::string out;
    for (auto day = calendar.extraWorkDays.rbegin(); day != calendar.extraWorkDays.rend(); ++day) {
        AppendStoredLine(out, EncodeGbk(day->date));
        AppendStoredLine(out, EncodeGbk(day->table));
    }
    return out;
}

HolidayCalendar LoadHolidayCalendar(const std::filesystem::path& folder) {
    return ParseHolidayCalendar(ReadStoredFile(folder / kRestDaysFileName),
                                ReadStoredFile(folder / kExtraWorkDaysFileName));
}

CalendarSaveResult SaveHolidayCalendar(const std::filesystem::path& folder,
                                       const HolidayCalendar& calendar) {
    auto hasBreak = [](const std::string& text) { return HasLineBreak(text); };
    bool restDaysWritable =
        std::none_of(calendar.daysOff.begin(), calendar.daysOff.end(), hasBreak);
    bool extraWritable = std::none_of(
        calendar.extraWorkDays.begin(), calendar.extraWorkDays.end(),
        [](const ExtraWorkDay& day) { return HasLineBreak(day.date) || HasLineBreak(day.table); });

    CalendarSaveResult result;
    result.restDaysSaved = restDaysWritable && WriteFileAtomically(folder / kRestDaysFileName,
                                                                   SerializeRestDays(calendar));
    result.extraWorkDaysSaved =
        extraWritable &&
        WriteFileAtomically(folder / kExtraWorkDaysFileName, SerializeExtraWorkDays(calendar));
    return result;
}

}  // namespace chimeon
