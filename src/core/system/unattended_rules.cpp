#include "core/system/unattended_rules.h"

#include <utility>

#include "core/engine/clock_text.h"
#include "core/system/settings_console.h"

namespace chimeon {

UnattendedSettings ReadUnattendedSettings(const SettingsStore& settings) {
    UnattendedSettings read;
    read.dailyShutdown = settings.GetInt(settings_key::kShutup, 0) != 0;
    read.shutdownSecond = ParseShutupTime(settings.GetString(settings_key::kShutupTime, ""));
    read.holidayAction = settings.GetInt(settings_key::kHoliday, 0);
    return read;
}

UnattendedRules::UnattendedRules(const LocalClock& clock, PowerOff& power, PlayHistory* history)
    : clock_(clock), power_(power), history_(history), shutdown_(clock, [this] {
          PowerOffOrRecordRefusal(power_, clock_, history_, kDailyShutdownAction);
      }) {}

void UnattendedRules::Apply(const UnattendedSettings& settings) {
    const bool restart =
        settings.dailyShutdown &&
        (!shutdown_.IsRunning() || settings.shutdownSecond != shutdown_.secondOfDay());
    settings_ = settings;
    if (!settings.dailyShutdown) {
        shutdown_.Stop();
    } else if (restart) {
        shutdown_.Start(settings.shutdownSecond);
    }
}

bool UnattendedRules::CarryOutHolidayAction(bool noBroadcastToday) {
    if (std::exchange(holidayActionTaken_, true) || !noBroadcastToday) {
        return false;
    }
    if (settings_.holidayAction == static_cast<int>(HolidayAction::kPowerOff)) {
        PowerOffOrRecordRefusal(power_, clock_, history_, kHolidayPowerOffAction);
    }
    return settings_.holidayAction == static_cast<int>(HolidayAction::kEndProgram);
}

int NextStartingRow(const TodayRows& rows, const LocalDateTime& now) {
    const std::string nowText = TimeText(now.hour * 3600 + now.minute * 60 + now.second);
    int next = -1;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const TodayRow& row = rows[static_cast<std::size_t>(i)];
        if (!row.IsPlaying() && TimeNotBefore(row.item.start, nowText) &&
            (next < 0 ||
             !TimeNotBefore(row.item.start, rows[static_cast<std::size_t>(next)].item.start))) {
            next = i;
        }
    }
    return next;
}

const TodayRow* NextStart(const TodayRows& rows, const LocalDateTime& now) {
    const int next = NextStartingRow(rows, now);
    return next < 0 ? nullptr : &rows[static_cast<std::size_t>(next)];
}

std::string ClockStatusLine(const std::string& statusText, const TodayRows& rows,
                            const LocalDateTime& now) {
    const int next = NextStartingRow(rows, now);
    if (next < 0) {
        return statusText;
    }
    const ProgramItem& item = rows[static_cast<std::size_t>(next)].item;
    return statusText + " 下一个：" + item.start + " " + item.title;
}

}  // namespace chimeon
