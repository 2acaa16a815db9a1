#include "support/clock_rig.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "core/engine/clock_text.h"
#include "core/schedule/schedule_file.h"

namespace chimeon::test {

ClockRig::ClockRig(std::int64_t startMs)
    : player([this] { return monotonicMs_; }),
      clock(BroadcastClockParts{localClock, player, lister, calendar, stepTimer, dayTimer, list,
                                dir.path()}),
      monotonicMs_(1'000'000),
      wallOffsetMs_(startMs - 1'000'000) {
    SyncClock();
}

void ClockRig::WriteTable(const std::string& fileName, const ScheduleTable& table) {
    if (!SaveScheduleFile(dir / fileName, table)) {
        throw std::runtime_error("cannot write " + fileName);
    }
}

void ClockRig::AddFiles(std::initializer_list<std::pair<std::string, double>> files) {
    for (const auto& [path, seconds] : files) {
        player.AddFile(path, static_cast<std::int64_t>(seconds * 1000));
    }
}

void ClockRig::StartClock() {
    clock.Start();
    ScheduleNewlyArmed();
}

void ClockRig::SyncClock() {
    localClock.SetMs(WallMs());
}

void ClockRig::ScheduleNewlyArmed() {
    if (stepTimer.ArmCount() != stepArmCount_) {
        stepArmCount_ = stepTimer.ArmCount();
        nextStepMs_ = monotonicMs_ + clock.UntilNextStep().count();
    }
    if (dayTimer.ArmCount() != dayArmCount_) {
        dayArmCount_ = dayTimer.ArmCount();
        nextDayMs_ = monotonicMs_ + 1000;
    }
}

std::int64_t ClockRig::NextDueMs() const {
    constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    return std::min(stepTimer.IsArmed() ? nextStepMs_ : kNever,
                    dayTimer.IsArmed() ? nextDayMs_ : kNever);
}

void ClockRig::RunNext() {
    const bool isStep = stepTimer.IsArmed() && (!dayTimer.IsArmed() || nextStepMs_ <= nextDayMs_);
    monotonicMs_ = std::max(monotonicMs_, NextDueMs());
    SyncClock();
    if (isStep) {
        clock.Step();
        nextStepMs_ = monotonicMs_ + clock.UntilNextStep().count();
        stepArmCount_ = stepTimer.ArmCount();
    } else {
        clock.DayCheck();
        nextDayMs_ = monotonicMs_ + 1000;
        dayArmCount_ = dayTimer.ArmCount();
    }
}

void ClockRig::RunForMs(std::int64_t ms) {
    std::int64_t end = monotonicMs_ + ms;
    for (ScheduleNewlyArmed(); NextDueMs() <= end; ScheduleNewlyArmed()) {
        RunNext();
    }
    monotonicMs_ = end;
    SyncClock();
}

void ClockRig::RunUntil(int hour, int minute, int second, int millisecond) {
    LocalDateTime now = LocalDateTimeFromMs(WallMs());
    std::int64_t target =
        MsFromLocal(now.year, now.month, now.day, hour, minute, second, millisecond);
    if (target > WallMs()) {
        RunForMs(target - WallMs());
    }
}

void ClockRig::Stall(std::int64_t ms) {
    monotonicMs_ += ms;
    SyncClock();
    ScheduleNewlyArmed();
    nextStepMs_ = std::max(nextStepMs_, monotonicMs_);
    nextDayMs_ = std::max(nextDayMs_, monotonicMs_);
}

void ClockRig::JumpWall(std::int64_t ms) {
    wallOffsetMs_ += ms;
    SyncClock();
}

std::string ClockRig::States() const {
    std::string states;
    for (int row = 0; row < list.RowCount(); ++row) {
        states += (row > 0 ? "|" : "") + std::string(RowStateText(list.Row(row)->state));
    }
    return states;
}

}  // namespace chimeon::test
