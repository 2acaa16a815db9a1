#include "core/engine/history_recorder.h"

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

}  // namespace

HistoryRecorder::HistoryRecorder(const LocalClock& clock, const TodayList& list,
                                 PlayHistory& history)
    : clock_(clock), list_(list), history_(history) {}

HistoryEvent HistoryRecorder::EventNow(HistoryEvent::Kind kind, int row,
                                       const ClockReading& now) const {
    HistoryEvent event;
    event.kind = kind;
    event.date = IsoDate(now.local.year, now.local.month, now.local.day);
    event.atMs = now.epochMs;
    event.table = tableName_;
    event.row = row;
    const ProgramItem& item = list_.Item(row);
    event.title = item.title;
    event.path = item.path;
    return event;
}

void HistoryRecorder::OnTableSelected(std::string_view, bool, std::string_view tableName) {
    tableName_ = std::string(tableName);
    LocalDateTime now = clock_.Now();
    std::string today = IsoDate(now.year, now.month, now.day);
    if (today != prunedOn_) {
        prunedOn_ = today;
        history_.KeepNewestDays(kHistoryDaysKept);
    }
}

void HistoryRecorder::OnRowStarted(int row, std::string_view file, StartCause cause,
                                   int scheduledSecond, std::optional<std::int64_t> lateness) {
    const ClockReading reading = clock_.Read();
    HistoryEvent event = EventNow(HistoryEvent::Kind::kStart, row, reading);
    event.path = std::string(file);
    event.cause = cause;
    if (scheduledSecond >= 0) {
        const LocalDateTime& now = reading.local;
        event.scheduledSecond = TimeText(scheduledSecond);
        std::int64_t nowMs =
            (now.hour * 3600 + now.minute * 60 + now.second) * 1000LL + now.millisecond;
        std::int64_t asked = nowMs - scheduledSecond * 1000LL;
        if (asked < 0) {
            asked += kMillisecondsPerDay;  // due before midnight
        }
        event.latenessMs = asked;
        if (lateness) {
            // Scheduled ahead: the sound began at the due moment plus what the player measured.
            event.latenessMs = *lateness;
            event.atMs = reading.epochMs - asked + *lateness;
        }
    }
    history_.Record(event);
    lastStart_ = std::move(event);
}

void HistoryRecorder::OnStartLevel(const SoundLevel& level) {
    if (lastStart_) {
        history_.RecordLevel(*lastStart_, level);
        lastStart_.reset();
    }
}

void HistoryRecorder::OnRowEnded(int row, EndCause cause) {
    HistoryEvent event = EventNow(HistoryEvent::Kind::kEnd, row, clock_.Read());
    event.cause = cause;
    history_.Record(event);
}

void HistoryRecorder::OnPlayFailed(int row, std::string_view path, FailureCause cause,
                                   std::string_view reason) {
    HistoryEvent event = EventNow(HistoryEvent::Kind::kFailure, row, clock_.Read());
    event.path = std::string(path);
    event.cause = cause;
    event.reason = std::string(reason);
    history_.Record(event);
}

}  // namespace chimeon
