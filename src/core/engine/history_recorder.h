#pragma once

#include <string>

#include "core/engine/clock_ports.h"
#include "core/engine/today_list.h"
#include "core/history/play_history.h"
#include "core/system/local_clock.h"

namespace chimeon {

// Writes what the broadcast clock does into the play history: each start with how late it sounded
// (as the player measured a start scheduled on it, else how late sound was asked for), each end
// with its cause, each failure with its reason. At every change of date the oldest days beyond the
// kept number of days are deleted. Each event is dated, timed and measured from one reading of the
// clock.
class HistoryRecorder : public BroadcastClockObserver {
public:
    HistoryRecorder(const LocalClock& clock, const TodayList& list, PlayHistory& history);

    void OnTableSelected(std::string_view status, bool noBroadcastToday,
                         std::string_view tableName) override;
    void OnRowStarted(int row, std::string_view file, StartCause cause, int scheduledSecond,
                      std::optional<std::int64_t> lateness) override;
    void OnRowEnded(int row, EndCause cause) override;
    void OnPlayFailed(int row, std::string_view path, FailureCause cause,
                      std::string_view reason) override;
    void OnStartLevel(const SoundLevel& level) override;

private:
    HistoryEvent EventNow(HistoryEvent::Kind kind, int row, const ClockReading& now) const;

    const LocalClock& clock_;
    const TodayList& list_;
    PlayHistory& history_;
    std::string tableName_;
    std::string prunedOn_;
    std::optional<HistoryEvent> lastStart_;  // the start a measured level belongs to
};

}  // namespace chimeon
