#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/engine/broadcast_clock.h"
#include "core/engine/today_list.h"
#include "core/schedule/program_item.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/temp_dir.h"

namespace chimeon::test {

// A broadcast clock with fakes around it, and a driver that runs its timers in simulated time:
// the step timer just after each second as the clock asks, the day timer every second. Media
// time runs on a monotonic time that clock jumps do not move. The program directory is a fresh
// temporary folder.
class ClockRig {
public:
    // Starts at `startMs` (see MsFromLocal); the clock is not started yet.
    explicit ClockRig(std::int64_t startMs);

    // Writes a table file (e.g. "Day1.dat") into the program directory.
    void WriteTable(const std::string& fileName, const ScheduleTable& table);
    // Media the player can open, with their lengths in seconds.
    void AddFiles(std::initializer_list<std::pair<std::string, double>> files);
    void StartClock();

    std::int64_t WallMs() const { return monotonicMs_ + wallOffsetMs_; }
    // Runs the timers until the wall clock has moved on by `ms`.
    void RunForMs(std::int64_t ms);
    // Runs the timers until the wall clock reads this moment.
    void RunUntil(int hour, int minute, int second, int millisecond = 0);
    // Moves time on by `ms` without running any handler (a busy or suspended machine).
    void Stall(std::int64_t ms);
    // Sets the wall clock by `ms` (negative: backwards); media time is not moved.
    void JumpWall(std::int64_t ms);

    // Rows' state texts joined with "|", e.g. "待播|正播".
    std::string States() const;

    TempDir dir;
    FakeLocalClock localClock;
    FakeMediaPlayer player;
    FakeDirectoryLister lister;
    FakeCalendarSource calendar;
    FakeClockTimer stepTimer;
    FakeClockTimer dayTimer;
    TodayList list;
    BroadcastClock clock;

private:
    void SyncClock();
    void ScheduleNewlyArmed();
    // When the next handler is due; INT64_MAX when no timer is armed.
    std::int64_t NextDueMs() const;
    // Runs the handler due next.
    void RunNext();

    std::int64_t monotonicMs_ = 0;
    std::int64_t wallOffsetMs_ = 0;
    std::int64_t nextStepMs_ = 0;
    std::int64_t nextDayMs_ = 0;
    int stepArmCount_ = 0;
    int dayArmCount_ = 0;
};

}  // namespace chimeon::test
