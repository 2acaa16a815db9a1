#include "core/engine/broadcast_clock.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/engine/todays_table.h"
#include "core/io/media_path.h"
#include "core/schedule/media_kind.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

}  // namespace

void BroadcastClock::HandledSeconds::SwitchTo(const DateKey& date) {
    if (current_->date == date) {
        return;
    }
    std::swap(current_, previous_);
    if (current_->date != date) {
        current_->date = date;
        current_->seconds.reset();
    }
}

BroadcastClock::BroadcastClock(BroadcastClockParts parts) : parts_(std::move(parts)) {
    parts_.list.AddObserver(this);
}

BroadcastClock::~BroadcastClock() {
    parts_.list.RemoveObserver(this);
}

std::int64_t BroadcastClock::LocalSecond(const LocalDateTime& now) {
    int second = std::clamp(now.hour * 3600 + now.minute * 60 + now.second, 0, kSecondsPerDay - 1);
    return DaysFromCivil(now.year, now.month, now.day) * kSecondsPerDay + second;
}

void BroadcastClock::Start() {
    LocalDateTime now = parts_.clock.Now();
    loadedDate_ = DateOf(now);
    handled_.SwitchTo(loadedDate_);
    lastStepSecond_ = LocalSecond(now);  // nothing before the start is caught up
    SelectToday(now);
    if (mode_ == ControlMode::kAutomatic) {
        ArmDay();
    }
}

void BroadcastClock::SelectToday(const LocalDateTime& now) {
    CancelScheduled();
    TodaySelection selection =
        SelectTodaysTable(now, parts_.calendar.Calendar(), parts_.dataDirectory, parts_.list);
    noBroadcastToday_ = selection.noBroadcastToday;
    statusText_ = std::move(selection.statusText);
    preparedPath_.clear();
    if (!noBroadcastToday_ && mode_ == ControlMode::kAutomatic) {
        ArmStep();
    }
    if (observer_ != nullptr) {
        observer_->OnTableSelected(statusText_, noBroadcastToday_, selection.tableName);
    }
}

void BroadcastClock::StopForReload(EndCause cause) {
    if (!playing_) {
        return;
    }
    parts_.player.Stop();
    parts_.player.Close();
    // The reload replaces the rows, but a table that cannot be read keeps them: never leave a
    // row shown as playing when nothing plays.
    parts_.list.SetState(currentRow_, RowState::kWaiting);
    ReportEnd(cause);
    playing_ = false;
    silenced_ = false;
}

void BroadcastClock::ReportEnd(EndCause cause) {
    if (observer_ != nullptr && !endReported_) {
        observer_->OnRowEnded(currentRow_, itemOpened_ ? cause : EndCause::kNotPlayed);
    }
    endReported_ = true;
}

void BroadcastClock::ChangeDay(const LocalDateTime& now) {
    CancelScheduled();
    KillStep();
    KillDay();
    // The new day's first seconds are replayed (within the usual gap) even when no step ran
    // yesterday evening, a day without broadcast.
    std::int64_t midnight = LocalSecond(now) - LocalSecond(now) % kSecondsPerDay;
    if (!lastStepSecond_ || *lastStepSecond_ < midnight - 1) {
        lastStepSecond_ = midnight - 1;
    }
    loadedDate_ = DateOf(now);
    handled_.SwitchTo(loadedDate_);
    StopForReload(EndCause::kChangeOfDay);
    SelectToday(now);
    if (mode_ == ControlMode::kAutomatic) {
        ArmDay();
    }
}

void BroadcastClock::DayCheck() {
    LocalDateTime now = parts_.clock.Now();
    if (DateOf(now) != loadedDate_) {
        ChangeDay(now);
    }
}

void BroadcastClock::Step() {
    const ClockReading reading = parts_.clock.Read();
    const LocalDateTime& now = reading.local;
    if (DateOf(now) != loadedDate_) {
        ChangeDay(now);
        if (!stepArmed_) {
            return;  // a day without broadcast
        }
    }
    std::int64_t second = LocalSecond(now);
    std::int64_t dayStart = second - second % kSecondsPerDay;
    if (scheduled_ && second < scheduled_->fromSecond) {
        CancelScheduled();  // the clock was set back before the step that scheduled it
    }
    if (lastStepSecond_ && second - *lastStepSecond_ > 1 &&
        second - *lastStepSecond_ <= kMaxReplayGap.count()) {
        // Seconds in which no step ran, as if one had; yesterday's last seconds are over.
        for (std::int64_t t = std::max(*lastStepSecond_ + 1, dayStart); t < second; ++t) {
            StepSecond(static_cast<int>(t - dayStart));
        }
    }
    lastStepSecond_ = second;
    int secondOfDay = static_cast<int>(second - dayStart);
    StepSecond(secondOfDay);
    if (scheduled_ && scheduled_->localSecond <= second) {
        CancelScheduled();  // its second went by unexamined (a clock set far ahead)
    }
    if (!playing_ && !scheduled_) {
        PrepareUpcoming(secondOfDay);
        ScheduleUpcoming(reading, second);
    }
}

void BroadcastClock::StepSecond(int secondOfDay) {
    std::string now = TimeText(secondOfDay);
    if (playing_) {
        WatchCurrent(now);
        if (playing_) {
            return;
        }
        // The item ended in this step: this second's start is looked at at once, as the next
        // step of the same second would.
    }
    if (handled_.Test(secondOfDay)) {
        return;
    }
    handled_.Set(secondOfDay);
    int row = parts_.list.FirstRowStartingAt(now);
    if (row >= 0) {
        StartChain(row, StartCause::kTime, secondOfDay);
    }
}

void BroadcastClock::WatchCurrent(const std::string& now) {
    MediaPlayer& player = parts_.player;
    const ProgramItem current = parts_.list.Item(currentRow_);
    const int fileCount = static_cast<int>(folderFiles_.size());

    if (current.IsPlayOnce()) {
        if (!silenced_) {
            std::int64_t position = player.GetPosition();
            std::int64_t length = player.GetLength();
            if (position != length) {
                if (milliseconds(length - position) <= kPrepareLead) {
                    if (currentIsFolder_ && folderIndex_ + 1 < fileCount) {
                        PrepareOnce(folderFiles_[static_cast<size_t>(folderIndex_ + 1)]);
                    } else if (parts_.list.IsChained(currentRow_ + 1)) {
                        const std::string& next = parts_.list.Item(currentRow_ + 1).path;
                        if (!IsFolderPath(next)) {
                            PrepareOnce(next);
                        }
                    }
                }
                return;
            }
        }
        player.Stop();
        player.Close();
        if (!silenced_ && currentIsFolder_ && folderIndex_ + 1 < fileCount) {
            ++folderIndex_;
            OpenFile(folderFiles_[static_cast<size_t>(folderIndex_)], currentRow_);
            ShowAndPlay();
            return;
        }
        FinishItem(EndCause::kPlayedThrough);
        return;
    }

    if (TimeNotBefore(now, current.end)) {
        player.Stop();
        player.Close();
        FinishItem(EndCause::kEndTimeReached);
        return;
    }
    if (silenced_ || player.GetPosition() != player.GetLength()) {
        return;
    }
    // Reached the end before the end time: the file again, or the folder's next file.
    player.Stop();
    if (currentIsFolder_ && fileCount > 0) {
        player.Close();
        folderIndex_ = folderIndex_ >= fileCount - 1 ? 0 : folderIndex_ + 1;
        OpenFile(folderFiles_[static_cast<size_t>(folderIndex_)], currentRow_);
    }
    ShowAndPlay();
}

bool BroadcastClock::OpenFile(const std::string& path, int row) {
    MediaPlayer& player = parts_.player;
    preparedPath_.clear();
    auto resolved = ResolveMediaPath(path, parts_.dataDirectory);
    std::error_code error;
    if (resolved && !fs::is_regular_file(*resolved, error)) {
        // A FIFO or a device could block the player, and with it the clock: never opened.
        if (observer_ != nullptr) {
            observer_->OnPlayFailed(row, resolved->string(), FailureCause::kUnplayable,
                                    "not a regular file");
        }
        return false;
    }
    std::string file =
        resolved ? resolved->string() : PathInDataDirectory(path, parts_.dataDirectory);
    player.SetParentWindow(surface_);
    player.SetFile(file);
    bool opened = player.Open();
    itemOpened_ = itemOpened_ || opened;
    if (!opened && observer_ != nullptr) {
        if (player.LastOpenFailure() == OpenFailure::kNoAudioOutput) {
            observer_->OnPlayFailed(row, file, FailureCause::kNoAudioOutput,
                                    player.LastOpenFailureReason());
        } else if (!resolved) {
            observer_->OnPlayFailed(row, file, FailureCause::kFileMissing, "no such file");
        } else {
            std::string reason = player.LastOpenFailureReason();
            observer_->OnPlayFailed(row, file, FailureCause::kUnplayable,
                                    reason.empty() ? "the player cannot open it" : reason);
        }
    }
    return opened;
}

void BroadcastClock::ShowAndPlay() {
    parts_.player.Seek(0);
    parts_.player.ShowMaximized();
    parts_.player.Play();
}

std::vector<std::string> BroadcastClock::ListFolderFiles(
    std::string_view folder, int row, std::optional<std::int64_t> epochSecond) const {
    std::vector<std::string> files =
        parts_.lister.ListFiles(PathInDataDirectory(folder, parts_.dataDirectory));
    if (parts_.list.Item(row).IsRandom()) {
        ClockReading now = parts_.clock.Read();
        ShuffleFolderFiles(files,
                           FolderShuffleSeed(epochSecond.value_or(LocalClock::EpochSecondsOf(now)),
                                             now.local.day));
    }
    return files;
}

bool BroadcastClock::OpenRow(int row, std::optional<std::int64_t> epochSecond) {
    const ProgramItem item = parts_.list.Item(row);
    const std::string& path = item.path;
    const MediaKind kind = MediaKindOf(path);
    if (kind == MediaKind::kFolder) {
        // A folder without files changes nothing: the item stopped before stays as it was.
        std::vector<std::string> files = ListFolderFiles(path, row, epochSecond);
        if (files.empty()) {
            if (observer_ != nullptr) {
                observer_->OnPlayFailed(row, path, FailureCause::kFileMissing,
                                        "the folder holds no file");
            }
            return false;
        }
        currentIsFolder_ = true;
        folderFiles_ = std::move(files);
        folderIndex_ = 0;
        itemOpened_ = false;
        OpenFile(folderFiles_.front(), row);  // folder files keep the player's own volume
    } else {
        currentIsFolder_ = false;
        folderFiles_.clear();
        folderIndex_ = 0;
        itemOpened_ = false;
        OpenFile(path, row);
        if (kind == MediaKind::kMp3 && item.volume != kDefaultVolume) {
            // Percent as entered; a hand-edited text never goes beyond the normal volume.
            std::int64_t percent = std::clamp<std::int64_t>(LeadingNumber(item.volume), 0, 100);
            parts_.player.SetVolume(static_cast<int>(percent) * kNormalPlayerVolume / 100);
        }
    }
    return true;
}

bool BroadcastClock::StartRow(int row, StartCause cause, int scheduledSecond) {
    TodayList& list = parts_.list;
    if (row < 0 || row >= list.RowCount()) {
        return false;
    }
    std::optional<std::int64_t> lateness;
    if (scheduled_ && cause == StartCause::kTime && scheduled_->row == row &&
        scheduled_->second == scheduledSecond) {
        // Already sounding since its second: only shown and recorded now.
        scheduled_.reset();
        lateness = parts_.player.ScheduledStartLateness();
        parts_.player.ShowMaximized();
    } else {
        CancelScheduled();
        if (!OpenRow(row, std::nullopt)) {
            return false;
        }
        ShowAndPlay();
    }
    const std::string& path = list.Item(row).path;
    currentRow_ = row;
    playing_ = true;
    silenced_ = false;
    endReported_ = false;
    if (observer_ != nullptr) {
        observer_->OnRowStarted(row, currentIsFolder_ ? folderFiles_.front() : path, cause,
                                scheduledSecond, lateness);
    }
    list.SetState(row, RowState::kPlaying);
    return true;
}

bool BroadcastClock::StartChain(int row, StartCause cause, int scheduledSecond) {
    for (;; ++row) {
        if (row < 0 || row >= parts_.list.RowCount()) {
            return false;
        }
        if (StartRow(row, cause, scheduledSecond)) {
            return true;
        }
        if (!parts_.list.IsChained(row + 1)) {
            return false;
        }
        if (cause == StartCause::kTime) {
            cause = StartCause::kChain;  // the rows after a folder without files follow it
            scheduledSecond = -1;
        }
    }
}

void BroadcastClock::FinishItem(EndCause cause) {
    if (!playing_) {
        return;
    }
    int finished = currentRow_;
    silenced_ = false;
    parts_.list.SetState(finished, RowState::kWaiting);
    ReportEnd(cause);
    if (!parts_.list.IsChained(finished + 1) || !StartChain(finished + 1, StartCause::kChain)) {
        playing_ = false;
    }
}

void BroadcastClock::PlayRow() {
    TodayList& list = parts_.list;
    int row = selectedRow_;
    if (row < 0 || row >= list.RowCount()) {
        return;
    }
    CancelScheduled();
    if (row == currentRow_ && list.IsPlaying(row)) {
        return;
    }
    if (playing_) {
        parts_.player.Stop();
        parts_.player.Close();
        list.SetState(currentRow_, RowState::kWaiting);
        silenced_ = true;  // stays current, as after "停止", if nothing else starts
        ReportEnd(EndCause::kStoppedByOperator);
    }
    for (;; ++row) {
        if (StartRow(row)) {
            return;
        }
        if (row + 1 >= list.RowCount()) {
            return;
        }
        selectedRow_ = row + 1;
        if (!list.IsChained(row + 1)) {
            return;
        }
    }
}

void BroadcastClock::StopCurrent() {
    CancelScheduled();
    if (!playing_) {
        return;
    }
    parts_.player.Stop();
    parts_.list.SetState(currentRow_, RowState::kWaiting);
    parts_.player.Close();
    ReportEnd(EndCause::kStoppedByOperator);
    if (mode_ == ControlMode::kManual) {
        playing_ = false;
        silenced_ = false;
        return;
    }
    // Automatic: the item stays current and silent; a play-once item finishes at the next step
    // (its chained rows follow), an item with an end time at its end time. A folder item is
    // silenced like a file item, not started again from its first file.
    silenced_ = true;
}

void BroadcastClock::RowRemoved(int row) {
    CancelScheduled();
    if (row >= 0 && row < currentRow_) {
        --currentRow_;
    }
}

void BroadcastClock::RowsSwapped(int upper) {
    CancelScheduled();
    if (currentRow_ == upper) {
        currentRow_ = upper + 1;
    } else if (currentRow_ == upper + 1) {
        currentRow_ = upper;
    }
}

void BroadcastClock::SwitchToAutomatic() {
    if (mode_ == ControlMode::kAutomatic) {
        return;
    }
    mode_ = ControlMode::kAutomatic;
    // Seconds spent in manual mode are never caught up.
    lastStepSecond_ = LocalSecond(parts_.clock.Now());
    ArmDay();
    ArmStep();
}

void BroadcastClock::SwitchToManual() {
    if (mode_ == ControlMode::kManual) {
        return;
    }
    mode_ = ControlMode::kManual;
    CancelScheduled();
    KillStep();
    KillDay();
}

void BroadcastClock::ApplyNewSettings() {
    CancelScheduled();
    KillStep();
    KillDay();
    StopForReload(EndCause::kStoppedByOperator);
    LocalDateTime now = parts_.clock.Now();
    loadedDate_ = DateOf(now);
    handled_.SwitchTo(loadedDate_);
    SelectToday(now);
    if (mode_ == ControlMode::kAutomatic) {
        ArmDay();
    }
}

void BroadcastClock::Shutdown() {
    CancelScheduled();
    KillStep();
    KillDay();
    StopForReload(EndCause::kProgramExit);
}

milliseconds BroadcastClock::UntilNextStep() const {
    const milliseconds intoSecond(std::clamp(parts_.clock.Now().millisecond, 0, 999));
    milliseconds until = std::chrono::seconds(1) - intoSecond + kStepMargin;
    // A step the start lead before a second finds a start to schedule: aimed at the same place
    // in every second, whichever second a lead of more than one looks at.
    const milliseconds phase =
        (std::chrono::seconds(1) - startLead_ % std::chrono::seconds(1)) % std::chrono::seconds(1);
    milliseconds untilLead = phase - intoSecond;
    if (untilLead <= milliseconds(0)) {
        untilLead += std::chrono::seconds(1);
    }
    return std::min({until, untilLead, kMaxStepInterval});
}

void BroadcastClock::ScheduleUpcoming(const ClockReading& now, std::int64_t second) {
    if (!parts_.player.CanScheduleStart()) {
        return;
    }
    const int secondOfDay = static_cast<int>(second % kSecondsPerDay);
    const std::int64_t intoSecondMs = std::clamp(now.local.millisecond, 0, 999);
    // The seconds within the start lead, nearest first: a lead longer than a second (a network
    // output's buffer) looks past the next one. The first start found is the one to schedule;
    // one that comes too late to leave the player time for it is left to its step, and so is
    // everything after it.
    for (int ahead = 1;; ++ahead) {
        const int due = secondOfDay + ahead;
        const std::int64_t untilDueMs = ahead * 1000 - intoSecondMs;
        if (untilDueMs > startLead_.count() || due >= kSecondsPerDay) {
            return;
        }
        if (handled_.Test(due)) {
            continue;
        }
        const int row = parts_.list.FirstRowStartingAt(TimeText(due));
        if (row < 0) {
            continue;
        }
        if (untilDueMs < startLead_.count() / 6 || unscheduledSecond_ == second + ahead) {
            return;
        }
        const std::int64_t dueMs = now.realtimeMs + untilDueMs;
        // Failures are said by the step of the second, which opens the file again.
        BroadcastClockObserver* observer = std::exchange(observer_, nullptr);
        itemOpened_ = false;
        const bool opened = OpenRow(row, dueMs / 1000) && itemOpened_;
        observer_ = observer;
        if (opened && parts_.player.ScheduleStart(dueMs, startLead_)) {
            scheduled_ = ScheduledStart{row, due, second + ahead, second, parts_.list.Item(row)};
            return;
        }
        unscheduledSecond_ = second + ahead;
        parts_.player.Stop();
        parts_.player.Close();
        return;
    }
}

void BroadcastClock::CancelScheduled() {
    if (!scheduled_) {
        return;
    }
    scheduled_.reset();
    parts_.player.CancelScheduledStart();
    parts_.player.Stop();
    parts_.player.Close();
}

void BroadcastClock::CheckScheduled() {
    if (scheduled_ &&
        (parts_.list.FirstRowStartingAt(TimeText(scheduled_->second)) != scheduled_->row ||
         !(parts_.list.Item(scheduled_->row) == scheduled_->item))) {
        CancelScheduled();
    }
}

void BroadcastClock::OnRowsReplaced(std::uint64_t) {
    CancelScheduled();
}

void BroadcastClock::OnRowChanged(int) {
    CheckScheduled();
}

void BroadcastClock::OnRowInserted(int) {
    CheckScheduled();
}

void BroadcastClock::OnRowRemoved(int) {
    CheckScheduled();
}

void BroadcastClock::PrepareUpcoming(int secondOfDay) {
    // Prepared well before it is scheduled, however long the start lead.
    const auto horizon = std::max(kPrepareLead.count(),
                                  std::chrono::ceil<std::chrono::seconds>(startLead_).count() + 1);
    for (int ahead = 1; ahead <= horizon; ++ahead) {
        int second = secondOfDay + ahead;
        if (second >= kSecondsPerDay) {
            return;
        }
        if (handled_.Test(second)) {
            continue;
        }
        int row = parts_.list.FirstRowStartingAt(TimeText(second));
        if (row < 0) {
            continue;
        }
        const std::string& path = parts_.list.Item(row).path;
        if (!IsFolderPath(path)) {
            PrepareOnce(path);
        }
        return;
    }
}

void BroadcastClock::PrepareOnce(const std::string& storedPath) {
    if (storedPath == preparedPath_) {
        return;
    }
    preparedPath_ = storedPath;
    auto resolved = ResolveMediaPath(storedPath, parts_.dataDirectory);
    std::error_code error;
    if (resolved && fs::is_regular_file(*resolved, error)) {
        parts_.player.Prepare(resolved->string());
    }
}

void BroadcastClock::ArmStep() {
    stepArmed_ = true;
    parts_.stepTimer.Arm();
}

void BroadcastClock::KillStep() {
    stepArmed_ = false;
    parts_.stepTimer.Kill();
}

void BroadcastClock::ArmDay() {
    parts_.dayTimer.Arm();
}

void BroadcastClock::KillDay() {
    parts_.dayTimer.Kill();
}

}  // namespace chimeon
