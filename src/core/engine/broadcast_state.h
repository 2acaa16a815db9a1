#pragma once

#include <string>

#include "core/engine/broadcast_clock.h"

namespace chimeon {

// What the window shows of the clock beside today's list.
struct BroadcastState {
    std::string statusText;  // "今天播放星期一的节目表！", "今天是节假日！", ...
    ControlMode mode = ControlMode::kAutomatic;
    bool noBroadcastToday = false;
    int watchedRow = -1;  // the row the clock follows, -1 for none
    bool operator==(const BroadcastState&) const = default;
};

}  // namespace chimeon
