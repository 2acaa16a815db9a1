#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "core/engine/broadcast_state.h"
#include "core/engine/media_player.h"
#include "core/engine/operator_notices.h"
#include "core/engine/today_console.h"
#include "core/engine/today_list.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/program_item.h"

namespace chimeon {

class VideoOutput;

// What the window knows of the broadcaster: its news as typed signals and the operator's
// commands, wherever it runs (another process on the bus, or, in tests, an engine of this one).
// Commands never wait for an answer; the broadcaster checks them against its own list and says
// no through `refused`. Signals arrive on the thread that made the link.
class BroadcastLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks for the whole list and state (rowsReplaced and stateChanged follow once known).
    virtual void Start() = 0;
    // `generation`: the load of today's list the row number is from.
    virtual void Play(int row, std::uint64_t generation) = 0;
    virtual void Stop() = 0;
    virtual void SwitchMode(ControlMode mode) = 0;
    virtual void ApplyNewSettings() = 0;
    virtual void AddRow(ProgramItem item) = 0;
    virtual void ReplaceRow(int row, std::uint64_t generation, ProgramItem item) = 0;
    virtual void DeleteRow(int row, std::uint64_t generation) = 0;
    virtual void MoveRow(int row, int delta, std::uint64_t generation) = 0;
    // Answered by playerStatus.
    virtual void RequestPlayerStatus() = 0;
    // The holiday page changed the calendar (and saved it).
    virtual void CalendarChanged(const HolidayCalendar& calendar) = 0;
    // Where a video's picture goes, when the player can draw there.
    virtual void SetSurface(std::shared_ptr<VideoOutput> surface) { static_cast<void>(surface); }

signals:
    void rowsReplaced(std::uint64_t generation, chimeon::TodayRows rows);
    void rowChanged(int row, chimeon::TodayRow value);
    void rowAppended(chimeon::TodayRow value);
    void rowRemoved(int row);
    void stateChanged(chimeon::BroadcastState state);
    void refused(chimeon::ConsoleAnswer answer);
    void selectedRowMoved(int from, int to);
    void playerStatus(std::string file, std::int64_t positionMs, std::int64_t lengthMs);
    void playerOpened(chimeon::OpenFailure failure, std::string reason);
    // The broadcaster's own notices (the play history, ...), one topic at a time.
    void notice(chimeon::NoticeTopic topic, std::string text);
    // The broadcaster is there and its list follows, or it has gone away.
    void attached();
    void detached();
};

}  // namespace chimeon
