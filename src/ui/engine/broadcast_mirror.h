#pragma once

#include <QObject>

#include "broadcaster/broadcast_engine.h"
#include "core/engine/today_list.h"

namespace chimeon {

// The window's copy of the engine's list and state, kept up to date by the engine's news on the
// thread that made it. Observers of list() hear of every change as they would of the engine's.
class BroadcastMirror : public QObject {
    Q_OBJECT
public:
    explicit BroadcastMirror(BroadcastEngine& engine, QObject* parent = nullptr);

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
