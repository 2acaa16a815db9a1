#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/schedule/holiday_calendar.h"

namespace chimeon {

// A timer on the clock's thread that the clock arms and kills; whoever drives it calls the
// clock's handler while it is armed (the step timer paced by
// BroadcastClock::MillisecondsUntilNextStep, the day timer every second).
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    virtual void Arm() = 0;
    virtual void Kill() = 0;
};

// The regular files directly inside a folder, as full paths, in the order to play them.
// Subfolders are not entered. A folder that is missing or unreadable gives no files.
class DirectoryLister {
public:
    virtual ~DirectoryLister() = default;
    virtual std::vector<std::string> ListFiles(std::string_view folder) = 0;
};

// The holiday calendar as it is held in memory now, unsaved edits included.
class CalendarSource {
public:
    virtual ~CalendarSource() = default;
    virtual const HolidayCalendar& Calendar() const = 0;
};

// What the clock did, for whoever keeps a record of it. Every method may be left as it is.
class BroadcastClockObserver {
public:
    virtual ~BroadcastClockObserver() = default;
    // Today's table was chosen again; `status` is the line shown to the operator.
    virtual void OnTableSelected(std::string_view status, bool noBroadcastToday) {
        (void)status;
        (void)noBroadcastToday;
    }
    // Row `row` began playing `file` (a folder item's file, or the item's own path); `opened`
    // is false when the player could not open it (it then plays nothing).
    virtual void OnFileStarted(int row, std::string_view file, bool opened) {
        (void)row;
        (void)file;
        (void)opened;
    }
    // A folder row could not start because its folder holds no file.
    virtual void OnRowNotStarted(int row) { (void)row; }
    // Row `row` finished (end of play, end time, or after an operator's stop).
    virtual void OnRowFinished(int row) { (void)row; }
};

}  // namespace chimeon
