// Any pair of files loads as a calendar; a loaded calendar saves and loads unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/schedule/holiday_calendar.h"
#include "core/text/gbk_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // The input is split in two at its first NUL byte: "HlidSave.dat", then "WorkSave.dat".
    size_t split = bytes.find('\0');
    std::string restDays = bytes.substr(0, split);
    std::string extraDays = split == std::string::npos ? std::string() : bytes.substr(split + 1);
    chimeon::HolidayCalendar calendar = chimeon::ParseHolidayCalendar(restDays, extraDays);

    bool hasLineBreak = false;
    for (const auto& date : calendar.daysOff) {
        hasLineBreak |= date.find_first_of("\r\n") != std::string::npos;
    }
    for (const auto& day : calendar.extraWorkDays) {
        hasLineBreak |= (day.date + day.table).find_first_of("\r\n") != std::string::npos;
    }
    if (hasLineBreak) {
        return 0;  // lone CRs in a line cannot be written back as the same lines
    }
    chimeon::HolidayCalendar again = chimeon::ParseHolidayCalendar(
        chimeon::SerializeRestDays(calendar), chimeon::SerializeExtraWorkDays(calendar));
    if (!(again == calendar)) {
        std::abort();
    }
    return 0;
}
