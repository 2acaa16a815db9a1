#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/schedule/calendar_import.h"

namespace chimeon {

// The days the events of an iCalendar text cover, read with libical: all-day events, ranges
// (DTEND exclusive), RRULE/RDATE recurrences less EXDATE, and timed events on their date in the
// local time zone. Anything past the limits, or an event without a readable start, refuses the
// whole text.
CalendarFileRead ReadCalendarText(std::string_view text, const CalendarFileLimits& limits);

// The same for a file, whose size is checked before it is read.
CalendarFileRead ReadCalendarFile(const std::filesystem::path& file,
                                  const CalendarFileLimits& limits);

// libical writes dates up to this year only.
inline constexpr int kLastWritableYear = 3000;

// An iCalendar text of all-day events; `stampUtc` (seconds since 1970) is the DTSTAMP of each.
// Events after kLastWritableYear are left out and go to `unwritten`.
std::string CalendarFileText(const std::vector<CalendarExportEvent>& events, std::int64_t stampUtc,
                             std::vector<CalendarDate>* unwritten = nullptr);

}  // namespace chimeon
