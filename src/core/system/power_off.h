#pragma once

#include <string>
#include <string_view>

#include "core/history/play_history.h"
#include "core/system/local_clock.h"

namespace chimeon {

// Turns the PC off through the system's power management.
class PowerOff {
public:
    virtual ~PowerOff() = default;
    // True when the system took the request; otherwise false with its reason in `refusal`.
    [[nodiscard]] virtual bool Request(std::string* refusal) = 0;
};

// Asks `power` to turn the PC off for `action` (the operator's words, "每日定时关机"). The operator
// is not told of a refusal; it is written to the play history (when there is one) as a failure
// with the system's reason, where an administrator finds it. True when the system took it.
bool PowerOffOrRecordRefusal(PowerOff& power, const LocalClock& clock, PlayHistory* history,
                             std::string_view action);

}  // namespace chimeon
