#include "broadcaster/service_link.h"

#include <algorithm>
#include <utility>

#include "broadcaster/broadcast_engine.h"
#include "broadcaster/thread_timer.h"
#include "core/engine/operator_notices.h"
#include "core/system/log.h"
#include "core/system/unattended_rules.h"

namespace chimeon {

ServiceLink::ServiceLink(BroadcastEngine& engine, const LocalClock& clock,
                         ServiceNotifier& notifier)
    : engine_(engine), clock_(clock), notifier_(notifier) {
    connect(
        &engine, &BroadcastEngine::stateChanged, this,
        [this](const BroadcastState& state) {
            statusText_ = state.statusText;
            ShowStatus();
            if (!std::exchange(ready_, true)) {
                notifier_.Ready();
                Log(LogLevel::kInfo, "clock", statusText_);
            }
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowsReplaced, this,
        [this](std::uint64_t, const TodayRows& rows) {
            rows_ = rows;
            ShowStatus();
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowChanged, this,
        [this](int row, const TodayRow& value) {
            if (row >= 0 && row < static_cast<int>(rows_.size())) {
                rows_[static_cast<std::size_t>(row)] = value;
                ShowStatus();
            }
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowAppended, this,
        [this](const TodayRow& value) {
            rows_.push_back(value);
            ShowStatus();
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::rowRemoved, this,
        [this](int row) {
            if (row >= 0 && row < static_cast<int>(rows_.size())) {
                rows_.erase(rows_.begin() + row);
                ShowStatus();
            }
        },
        Qt::QueuedConnection);
    connect(
        &engine, &BroadcastEngine::playerOpened, this,
        [this](OpenFailure failure, const std::string& reason) {
            // A file that cannot be opened says nothing of the sound output.
            if (failure == OpenFailure::kFile) {
                return;
            }
            const std::string problem = failure == OpenFailure::kNoAudioOutput ? reason : "";
            if (problem != soundProblem_ && !problem.empty()) {
                Log(LogLevel::kError, "player", "no audio output: " + problem);
            }
            soundProblem_ = problem;
            ShowStatus();
        },
        Qt::QueuedConnection);
}

ServiceLink::~ServiceLink() = default;

void ServiceLink::StartWatchdog() {
    const auto interval = notifier_.WatchdogInterval();
    if (interval.count() <= 0 || watchdog_ != nullptr) {
        return;
    }
    const auto halfMs = std::max<std::int64_t>(1, interval.count() / 2000);
    watchdog_ = std::make_unique<ThreadTimer>(engine_.thread(), static_cast<int>(halfMs),
                                              [this] { notifier_.WatchdogPing(); });
}

void ServiceLink::Reloading() {
    notifier_.Reloading();
    engine_.WhenIdle(this, [this] { notifier_.Ready(); });
}

void ServiceLink::Stopping() {
    notifier_.Stopping();
}

void ServiceLink::ShowStatus() {
    std::string line = ClockStatusLine(statusText_, rows_, clock_.Now());
    if (!soundProblem_.empty()) {
        line += " " + ReportedNotice(NoticeTopic::kAudioOutput, soundProblem_);
    }
    if (line != shown_) {
        shown_ = line;
        notifier_.Status(line);
    }
}

}  // namespace chimeon
