#pragma once

#include <functional>
#include <mutex>
#include <optional>

#include "core/history/play_history.h"

namespace chimeon {

// Passes every event on to the play history and tells a listener of it as well (the status page,
// the alerts), on the recording thread. The listener can be changed or removed at any time.
class HistoryTap : public PlayHistory {
public:
    using Listener = std::function<void(const HistoryEvent&, const std::optional<SoundLevel>&)>;

    explicit HistoryTap(PlayHistory& history) : history_(history) {}

    void Record(const HistoryEvent& event) override {
        history_.Record(event);
        Tell(event, std::nullopt);
    }
    void RecordLevel(const HistoryEvent& start, const SoundLevel& level) override {
        history_.RecordLevel(start, level);
        Tell(start, level);
    }
    void KeepNewestDays(int days) override { history_.KeepNewestDays(days); }

    void SetListener(Listener listener) {
        const std::lock_guard lock(mutex_);
        listener_ = std::move(listener);
    }

private:
    void Tell(const HistoryEvent& event, const std::optional<SoundLevel>& level) {
        const std::lock_guard lock(mutex_);
        if (listener_) {
            listener_(event, level);
        }
    }

    PlayHistory& history_;
    std::mutex mutex_;
    Listener listener_;
};

}  // namespace chimeon
