#pragma once

#include <QObject>

#include "core/engine/broadcast_state.h"
#include "core/engine/today_list.h"

namespace chimeon {

// The window's copy of the broadcaster's list and state, kept up to date by its news on the
// thread that made it. Observers of list() hear of every change as they would of the engine's.
// The news comes from the engine itself, a BroadcasterClient or a BroadcastLink: they send the
// same.
class BroadcastMirror : public QObject {
    Q_OBJECT
public:
    template <typename Source>
    explicit BroadcastMirror(Source& source, QObject* parent = nullptr) : QObject(parent) {
        // Queued even when the engine runs on this thread: whatever the news leads to (a message
        // box, say) never runs inside the engine's own work.
        constexpr auto kQueued = Qt::QueuedConnection;
        connect(
            &source, &Source::rowsReplaced, this,
            [this](std::uint64_t generation, TodayRows rows) {
                list_.Mirror(std::move(rows), generation);
            },
            kQueued);
        connect(
            &source, &Source::rowChanged, this,
            [this](int row, const TodayRow& value) { list_.SetRow(row, value); }, kQueued);
        connect(
            &source, &Source::rowAppended, this,
            [this](const TodayRow& value) { list_.AppendRow(value); }, kQueued);
        connect(
            &source, &Source::rowRemoved, this, [this](int row) { list_.RemoveRow(row); }, kQueued);
        connect(
            &source, &Source::stateChanged, this,
            [this](const BroadcastState& state) {
                state_ = state;
                emit stateChanged(state_);
            },
            kQueued);
    }

    TodayList& list() { return list_; }
    const TodayList& list() const { return list_; }
    const BroadcastState& state() const { return state_; }

signals:
    void stateChanged(const chimeon::BroadcastState& state);

private:
    TodayList list_;
    BroadcastState state_;
};

}  // namespace chimeon
