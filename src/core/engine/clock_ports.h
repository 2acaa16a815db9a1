#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/history/play_history.h"
#include "core/schedule/holiday_calendar.h"

namespace chimeon {

// A timer on the clock's thread that the clock arms and kills; whoever drives it calls the
// clock's handler while it is armed (the step timer paced by
// BroadcastClock::UntilNextStep, the day timer every second).
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

// What the clock did, for whoever keeps a record of it (the play history). Every method may be
// left as it is. Calls come on the clock's thread, right after the act they report.
class BroadcastClockObserver {
public:
    virtual ~BroadcastClockObserver() = default;
    // Today's table was chosen again; `status` is the line shown to the operator and
    // `tableName` the table's name ("" on a day without broadcast).
    virtual void OnTableSelected(std::string_view /*status*/, bool /*noBroadcastToday*/,
                                 std::string_view /*tableName*/) {}
    // Row `row` was asked to play `file` (a folder item's first file, or its own path).
    // `scheduledSecond` is the second of the day it was due when it started by time, else -1.
    // `lateness` is how late its first sample sounded as the player measured it, when the start
    // was scheduled ahead on the player; otherwise the lateness is that of the call.
    virtual void OnRowStarted(int /*row*/, std::string_view /*file*/, StartCause /*cause*/,
                              int /*scheduledSecond*/, std::optional<std::int64_t> /*lateness*/) {}
    // The current row stopped being current, or (stopped by the operator) went silent.
    virtual void OnRowEnded(int /*row*/, EndCause /*cause*/) {}
    // A file of row `row` cannot play (it plays nothing and ends by the item's rule), or a
    // folder row holds no file (the row does not start).
    virtual void OnPlayFailed(int /*row*/, std::string_view /*path*/, FailureCause /*cause*/,
                              std::string_view /*reason*/) {}
    // The level of the last start's first seconds, as the player measured it.
    virtual void OnStartLevel(const SoundLevel& /*level*/) {}
};

}  // namespace chimeon
