#pragma once

#include <utility>

#include "core/engine/clock_ports.h"

namespace chimeon {

// Today's table selection reads this copy of the calendar; whoever edits the calendar sends
// every new state of it here (the holiday page, as the operator works).
class CalendarCopy : public CalendarSource {
public:
    const HolidayCalendar& Calendar() const override { return calendar_; }
    void Update(HolidayCalendar calendar) { calendar_ = std::move(calendar); }

private:
    HolidayCalendar calendar_;
};

}  // namespace chimeon
