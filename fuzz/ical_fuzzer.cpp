// Any text either reads as calendar days within the limits or is refused with a reason; the days
// of a read file plan and export, and the export reads back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/schedule/ical_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace chimeon;
    CalendarFileLimits limits;
    limits.maxDates = 2000;  // small bounds keep every run short
    limits.maxRuleSteps = 20000;
    const CalendarFileRead read =
        ReadCalendarText(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (read.days.size() > limits.maxDates || (!read.Ok() && !read.days.empty())) {
        std::abort();  // past a limit, or refused yet giving days
    }
    HolidayCalendar calendar;
    ApplyCalendarImport(calendar, PlanCalendarImport(calendar, read.days, {}, {1970, 1, 1}));
    const std::vector<CalendarExportEvent> events = CalendarExportEvents(calendar, nullptr);
    std::vector<CalendarDate> unwritten;
    const std::string text = CalendarFileText(events, 0, &unwritten);
    const CalendarFileRead again = ReadCalendarText(text, CalendarFileLimits{});
    if (events.size() > unwritten.size() &&
        (!again.Ok() || again.days.size() != events.size() - unwritten.size())) {
        std::abort();
    }
    return 0;
}
