#include "ui/engine/broadcast_mirror.h"

namespace chimeon {

BroadcastMirror::BroadcastMirror(BroadcastEngine& engine, QObject* parent) : QObject(parent) {
    // Queued even when the engine runs on this thread: whatever the news leads to (a message
    // box, say) never runs inside the engine's own work.
    constexpr auto kQueued = Qt::QueuedConnection;
    connect(
        &engine, &BroadcastEngine::rowsReplaced, this,
        [this](std::uint64_t generation, TodayRows rows) {
            list_.Mirror(std::move(rows), generation);
        },
        kQueued);
    connect(
        &engine, &BroadcastEngine::rowChanged, this,
        [this](int row, const TodayRow& value) { list_.SetRow(row, value); }, kQueued);
    connect(
        &engine, &BroadcastEngine::rowAppended, this,
        [this](const TodayRow& value) { list_.AppendRow(value); }, kQueued);
    connect(
        &engine, &BroadcastEngine::rowRemoved, this, [this](int row) { list_.RemoveRow(row); },
        kQueued);
    connect(
        &engine, &BroadcastEngine::stateChanged, this,
        [this](const BroadcastState& state) {
            state_ = state;
            emit stateChanged(state_);
        },
        kQueued);
}

}  // namespace chimeon
