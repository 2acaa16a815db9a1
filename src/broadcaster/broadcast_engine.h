#pragma once

#include <QObject>
#include <QThread>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine/broadcast_clock.h"
#include "core/engine/broadcast_state.h"
#include "core/engine/calendar_copy.h"
#include "core/engine/clock_ports.h"
#include "core/engine/media_player.h"
#include "core/engine/today_console.h"
#include "core/engine/today_list.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/program_item.h"

namespace chimeon {

class LocalClock;
class QtClockTimer;
class VideoOutput;

// What the engine works with; the references must outlive it.
struct EngineParts {
    EngineParts(LocalClock& clock, MediaPlayer& player, DirectoryLister& lister,
                std::filesystem::path dataDirectory)
        : clock(clock), player(player), lister(lister), dataDirectory(std::move(dataDirectory)) {}

    LocalClock& clock;
    MediaPlayer& player;
    DirectoryLister& lister;
    std::filesystem::path dataDirectory;
    // The holiday calendar until SetCalendar sends another.
    HolidayCalendar calendar;
    // Makes the record of what the clock does (the play history), on the engine's thread; may
    // be empty.
    std::function<std::unique_ptr<BroadcastClockObserver>(const LocalClock&, const TodayList&)>
        makeObserver;
    // Measures the play times of each load of today's list on a worker of its own.
    bool measureDurations = true;
    // How long before its second a known start goes to the player, when not the clock's own
    // (an output that must have the sound earlier, such as the network output).
    std::optional<std::chrono::milliseconds> startLead;
};

// The broadcast engine: today's list with its row states, the broadcast clock with its timers,
// the player (with its preroll), the play history's recorder and the duration pass, all on one
// thread, its own (or, for comparison and tests, the thread that made it). The window gives it
// commands, which are queued, and learns its state from its signals, which carry copies and are
// meant for queued connections: neither side ever waits for the other. Nothing here touches a
// widget; a video's picture reaches the window through the VideoOutput given with SetSurface.
class BroadcastEngine : public QObject, private TodayListObserver {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDayTimer{1000};

    explicit BroadcastEngine(EngineParts parts);
    ~BroadcastEngine() override;

    // From now on the engine runs on a thread of its own. Called once, before any command, on
    // the thread that made the engine.
    void RunOnOwnThread();
    // Asks for the shutdown if nobody has, and waits at most `timeout` for the engine's thread to
    // end (at program exit, once the window is gone; never from an event handler). An engine on
    // the caller's thread is shut down at once. False when the thread did not end in time.
    bool Join(std::chrono::milliseconds timeout);

    // Commands: may be given from any thread; each is carried out on the engine's thread in the
    // order given. The engine checks them again against its own list (the window's copy may be
    // a moment old) and says no through `refused`.
    //
    // Chooses today's table and arms the clock; once started, sends all of its state again.
    void Start();
    void SetSurface(std::shared_ptr<VideoOutput> surface);
    void SetCalendar(HolidayCalendar calendar);
    // `generation`, here and below: the load of today's list the window's row number is from.
    void Play(int row, std::uint64_t generation);
    void Stop();
    void SwitchMode(ControlMode mode);
    void ApplyNewSettings();
    void AddRow(ProgramItem item);
    void ReplaceRow(int row, std::uint64_t generation, ProgramItem item);
    void DeleteRow(int row, std::uint64_t generation);
    // `delta` -1 moves the row up, +1 down.
    void MoveRow(int row, int delta, std::uint64_t generation);
    // Answered by playerStatus.
    void RequestPlayerStatus();
    // What plays stops (recorded as the end of the program); no command is carried out after.
    void Shutdown();
    // Runs `done` on `receiver`'s thread once every command given before has been carried out
    // and its news sent (tests wait with it).
    void WhenIdle(QObject* receiver, std::function<void()> done);

    // The engine's own parts, for tests that run it on their thread: null before Start and after
    // Shutdown.
    BroadcastClock* clock() const;
    TodayList* list() const;
    QtClockTimer* stepTimer() const;
    QtClockTimer* dayTimer() const;

signals:
    // Today's list was loaded anew (or Start was given again): every row, with the load number.
    void rowsReplaced(std::uint64_t generation, chimeon::TodayRows rows);
    void rowChanged(int row, chimeon::TodayRow value);
    void rowAppended(chimeon::TodayRow value);
    void rowRemoved(int row);
    void stateChanged(chimeon::BroadcastState state);
    // A command the engine did not carry out, with the reminder the operator is shown.
    void refused(chimeon::ConsoleAnswer answer);
    // "播放" passed over folder rows without files: the buttons now act on row `to`.
    void selectedRowMoved(int from, int to);
    // The file the player was given last ("" before the first), its position and length.
    void playerStatus(std::string file, std::int64_t positionMs, std::int64_t lengthMs);
    // Every open of a file: sound went out (kNone), or why not.
    void playerOpened(chimeon::OpenFailure failure, std::string reason);

private:
    struct Running;

    template <typename Work>
    void Post(Work work) {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }
    // A command of the today console; ignored before Start and after Shutdown.
    template <typename Work>
    void OnConsole(Work work) {
        Post([this, work = std::move(work)]() mutable {
            if (running_ != nullptr) {
                work(Console());
                PublishState();
            }
        });
    }
    TodayConsole& Console();
    void StartNow();
    void ShutdownNow();
    void PublishState();
    void Refuse(ConsoleAnswer answer);
    void StartDurationPass(std::uint64_t generation);

    // TodayListObserver
    void OnRowsReplaced(std::uint64_t generation) override;
    void OnRowChanged(int row) override;
    void OnRowInserted(int row) override;
    void OnRowRemoved(int row) override;

    EngineParts parts_;
    CalendarCopy calendar_;
    std::shared_ptr<VideoOutput> surface_;
    std::unique_ptr<Running> running_;
    std::optional<BroadcastState> published_;
    bool shutDown_ = false;
    std::unique_ptr<QThread> thread_;
};

}  // namespace chimeon
