#include "support/ui/engine_link.h"

namespace chimeon::test {

EngineLink::EngineLink(BroadcastEngine& engine) : engine_(engine) {
    connect(&engine, &BroadcastEngine::rowsReplaced, this, &BroadcastLink::rowsReplaced);
    connect(&engine, &BroadcastEngine::rowChanged, this, &BroadcastLink::rowChanged);
    connect(&engine, &BroadcastEngine::rowAppended, this, &BroadcastLink::rowAppended);
    connect(&engine, &BroadcastEngine::rowRemoved, this, &BroadcastLink::rowRemoved);
    connect(&engine, &BroadcastEngine::stateChanged, this, &BroadcastLink::stateChanged);
    connect(&engine, &BroadcastEngine::refused, this, &BroadcastLink::refused);
    connect(&engine, &BroadcastEngine::selectedRowMoved, this, &BroadcastLink::selectedRowMoved);
    connect(&engine, &BroadcastEngine::playerStatus, this, &BroadcastLink::playerStatus);
    connect(&engine, &BroadcastEngine::playerOpened, this, &BroadcastLink::playerOpened);
}

}  // namespace chimeon::test
