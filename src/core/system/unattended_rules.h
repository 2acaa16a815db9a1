#pragma once

#include <string>

#include "core/app/settings_store.h"
#include "core/engine/today_list.h"
#include "core/history/play_history.h"
#include "core/system/daily_shutdown.h"
#include "core/system/local_clock.h"
#include "core/system/power_off.h"

namespace chimeon {

// What setup.ini says of the rules that run with nobody at the screen.
struct UnattendedSettings {
    bool dailyShutdown = false;                   // "Shutup"
    int shutdownSecond = kDefaultShutdownSecond;  // "ShutupTime"
    int holidayAction = 0;                        // "Holiday": 0 wait, 1 end, 2 power off
    bool operator==(const UnattendedSettings&) const = default;
};

UnattendedSettings ReadUnattendedSettings(const SettingsStore& settings);

// The rules that need nobody at the screen, the same in every program that broadcasts: the
// daily shutdown and, once today's table is chosen at start, the holiday action. Refused
// power-offs go to the play history.
class UnattendedRules {
public:
    UnattendedRules(const LocalClock& clock, PowerOff& power, PlayHistory* history);

    // The settings as stored now. The daily shutdown starts afresh (a new attempt for today)
    // only when it is switched on or its time moves, so reading unchanged settings again (a
    // reload, another key written) never repeats or skips a day's shutdown.
    void Apply(const UnattendedSettings& settings);
    const UnattendedSettings& settings() const { return settings_; }
    // True while the daily shutdown is on: Tick is then due every kShutdownTimerMs.
    bool ShutdownRunning() const { return shutdown_.IsRunning(); }
    void Tick() { shutdown_.Tick(); }

    // At start, once today's table is chosen: on a day without broadcast "Holiday" 2 powers
    // the PC off, 1 asks to end the program (true). Only the first call acts.
    bool CarryOutHolidayAction(bool noBroadcastToday);

private:
    const LocalClock& clock_;
    PowerOff& power_;
    PlayHistory* history_;
    UnattendedSettings settings_;
    DailyShutdown shutdown_;
    bool holidayActionTaken_ = false;
};

// The row of `rows` due to start next at `now` (the earliest start not before it, of the rows
// not playing), -1 for none.
int NextStartingRow(const TodayRows& rows, const LocalDateTime& now);

// The waiting row due next today, or null.
const TodayRow* NextStart(const TodayRows& rows, const LocalDateTime& now);

// What the service manager is told the clock does: today's status and the next row due to start
// ("今天播放星期一的节目表！ 下一个：8:0:0 上课铃"), or the status alone when no row is due today.
std::string ClockStatusLine(const std::string& statusText, const TodayRows& rows,
                            const LocalDateTime& now);

}  // namespace chimeon
