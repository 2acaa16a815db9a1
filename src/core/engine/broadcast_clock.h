#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/clock_ports.h"
#include "core/engine/media_player.h"
#include "core/engine/today_list.h"
#include "core/system/local_clock.h"

namespace chimeon {

enum class ControlMode { kAutomatic = 0, kManual = 1 };

// What the clock works with; everything must outlive it.
struct BroadcastClockParts {
    LocalClock& clock;
    MediaPlayer& player;
    DirectoryLister& lister;
    CalendarSource& calendar;
    ClockTimer& stepTimer;
    ClockTimer& dayTimer;
    TodayList& list;
    std::filesystem::path dataDirectory;
};

// Starts and stops today's items at their times, one at a time, through one player.
//
// Steps are meant to run just after each second boundary (UntilNextStep), at least every
// 400 ms. A step first looks at the date (a new day is loaded before any row is looked at), then
// examines each second since the previous step in order, up to kMaxReplayGap,
// as if a step had run in it; a longer gap or a clock set backwards is not replayed. Each second
// of a day is looked up for its start at most once, so a clock set backwards never rings a bell
// twice.
//
// A start known ahead (the row of a coming second, found by a step at least the start lead
// before it, however many seconds that is; its file opened) is scheduled on the player for the
// due moment, so that it sounds on the
// second however late the step of that second comes; that step then takes the start that is
// already sounding. Anything that changes the plan before the second takes the scheduled start
// back without a sound; a start that was not scheduled is played by the step, as ever.
class BroadcastClock : private TodayListObserver {
public:
    static constexpr std::chrono::seconds kMaxReplayGap{10};
    static constexpr std::chrono::milliseconds kMaxStepInterval{400};
    // How far after a second boundary a step is aimed, so that it lands inside the new second.
    static constexpr std::chrono::milliseconds kStepMargin{2};
    // How long ahead of a known start the player is told to prepare the file.
    static constexpr std::chrono::seconds kPrepareLead{3};
    // How long before its second a known start is handed to the player: well beyond a step's
    // lateness on a busy machine (tens of milliseconds) plus the player's few milliseconds to
    // get its output going, and short enough that a step still runs in that window.
    static constexpr std::chrono::milliseconds kStartLead{300};

    explicit BroadcastClock(BroadcastClockParts parts);
    ~BroadcastClock() override;
    BroadcastClock(const BroadcastClock&) = delete;
    BroadcastClock& operator=(const BroadcastClock&) = delete;

    // Where a video's picture is drawn; given to the player at every open.
    void SetSurface(VideoOutput* surface) { surface_ = surface; }
    // Optional record of what the clock does (nullptr for none).
    void SetObserver(BroadcastClockObserver* observer) { observer_ = observer; }

    // Chooses today's table and arms the timers (once, before the first step; the engine calls
    // it when it starts).
    void Start();

    // Handler of the step timer.
    void Step();
    // Handler of the day timer (every second): a new date has today's table chosen again.
    void DayCheck();
    // How long from now until the next step is due: just after the next second boundary, and
    // never more than kMaxStepInterval.
    std::chrono::milliseconds UntilNextStep() const;

    // Start row `row` (or, past folder rows without files, its chained successors); the cause and
    // due second are only reported to the observer.
    bool StartRow(int row, StartCause cause = StartCause::kHand, int scheduledSecond = -1);
    bool StartChain(int row, StartCause cause = StartCause::kHand, int scheduledSecond = -1);
    // The current item has ended: its chained successor starts, or the clock goes idle.
    void FinishItem(EndCause cause = EndCause::kPlayedThrough);
    // The files of a folder row in play order (shuffled anew when its mode is "随机").
    // `epochSecond` seeds the shuffle (default: now).
    std::vector<std::string> ListFolderFiles(std::string_view folder, int row,
                                             std::optional<std::int64_t> epochSecond = {}) const;

    // The operator's "播放" on the selected row, and "停止".
    void PlayRow();
    void StopCurrent();
    void SetSelectedRow(int row) { selectedRow_ = row; }
    int SelectedRow() const { return selectedRow_; }

    // The row the clock follows: it plays, or the operator stopped it and it stays current
    // until it ends by its rule (a chained successor may still start from it).
    bool IsWatching(int row) const { return playing_ && row >= 0 && row == currentRow_; }
    // The operator removed row `row` or exchanged rows `upper` and `upper` + 1 of today's list:
    // the clock keeps following the same item.
    void RowRemoved(int row);
    void RowsSwapped(int upper);

    // "自动" and "手动"; nothing happens when the mode does not change.
    void SwitchToAutomatic();
    void SwitchToManual();
    // "应用新的设置": stops what plays and chooses today's table again.
    void ApplyNewSettings();
    // The program ends: what plays stops (reported as the end of the program), timers are killed.
    void Shutdown();

    // How long before its second a known start is given to the player (kStartLead unless set).
    void SetStartLead(std::chrono::milliseconds lead) { startLead_ = lead; }
    // A start is scheduled on the player for this second of the day.
    bool HasScheduledStart() const { return scheduled_.has_value(); }

    ControlMode Mode() const { return mode_; }
    bool IsPlaying() const { return playing_; }
    int CurrentRow() const { return currentRow_; }
    bool CurrentIsFolder() const { return currentIsFolder_; }
    const std::vector<std::string>& FolderFiles() const { return folderFiles_; }
    bool NoBroadcastToday() const { return noBroadcastToday_; }
    const std::string& StatusText() const { return statusText_; }

private:
    struct DateKey {
        int year = 0, month = 0, day = 0;
        bool operator==(const DateKey&) const = default;
    };
    // The seconds of a day whose start was already looked up; the day before is kept as well,
    // for a clock set back over midnight.
    class HandledSeconds {
    public:
        void SwitchTo(const DateKey& date);
        bool Test(int second) const { return current_->seconds.test(static_cast<size_t>(second)); }
        void Set(int second) { current_->seconds.set(static_cast<size_t>(second)); }

    private:
        struct Day {
            DateKey date;
            std::bitset<86400> seconds;
        };
        std::unique_ptr<Day> current_ = std::make_unique<Day>();
        std::unique_ptr<Day> previous_ = std::make_unique<Day>();
    };

    // A start handed to the player ahead of its second.
    struct ScheduledStart {
        int row = -1;
        int second = 0;                // of the day
        std::int64_t localSecond = 0;  // continuous, as LocalSecond
        std::int64_t fromSecond = 0;   // the step's that scheduled it, likewise
        ProgramItem item;
    };

    static DateKey DateOf(const LocalDateTime& now) { return {now.year, now.month, now.day}; }
    static std::int64_t LocalSecond(const LocalDateTime& now);

    void ChangeDay(const LocalDateTime& now);
    void SelectToday(const LocalDateTime& now);
    void StopForReload(EndCause cause);
    void ReportEnd(EndCause cause);
    void StepSecond(int secondOfDay);
    void WatchCurrent(const std::string& now);
    // Gives the player the file; false when it cannot play (reported as a failure).
    bool OpenFile(const std::string& path, int row);
    void ShowAndPlay();
    void PrepareUpcoming(int secondOfDay);
    // Opens the next second's row and schedules it on the player, when a step is within the
    // start lead of it.
    void ScheduleUpcoming(const ClockReading& now, std::int64_t second);
    void CancelScheduled();
    // Opens row `row`'s file (a folder's first); false for a folder without files.
    bool OpenRow(int row, std::optional<std::int64_t> epochSecond);
    // TodayListObserver: a change of today's list takes back a scheduled start it touches.
    void OnRowsReplaced(std::uint64_t generation) override;
    void OnRowChanged(int row) override;
    void OnRowInserted(int row) override;
    void OnRowRemoved(int row) override;
    void CheckScheduled();
    void PrepareOnce(const std::string& storedPath);
    void ArmStep();
    void KillStep();
    void ArmDay();
    void KillDay();

    BroadcastClockParts parts_;
    VideoOutput* surface_ = nullptr;
    BroadcastClockObserver* observer_ = nullptr;

    int currentRow_ = -1;
    bool playing_ = false;
    // The operator stopped the current item: it stays current, silent, until it ends by rule.
    bool silenced_ = false;
    bool currentIsFolder_ = false;
    std::vector<std::string> folderFiles_;
    int folderIndex_ = 0;
    bool noBroadcastToday_ = false;
    std::string statusText_;
    ControlMode mode_ = ControlMode::kAutomatic;
    int selectedRow_ = -1;

    DateKey loadedDate_;
    HandledSeconds handled_;
    std::optional<std::int64_t> lastStepSecond_;  // continuous local second of the last step
    bool stepArmed_ = false;
    // The current item's end was already reported (the operator stopped it).
    bool endReported_ = false;
    // A file of the current item opened, so something of it may have been heard; otherwise its
    // end is reported as not played, whatever ended it.
    bool itemOpened_ = false;
    std::string preparedPath_;
    std::chrono::milliseconds startLead_ = kStartLead;
    std::optional<ScheduledStart> scheduled_;
    // The second whose start could not be scheduled (its file did not open): its step plays it.
    std::optional<std::int64_t> unscheduledSecond_;
};

}  // namespace chimeon
