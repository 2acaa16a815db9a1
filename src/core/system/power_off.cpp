#include "core/system/power_off.h"

namespace chimeon {

bool PowerOffOrRecordRefusal(PowerOff& power, const LocalClock& clock, PlayHistory* history,
                             std::string_view action) {
    std::string refusal;
    if (power.Request(&refusal)) {
        return true;
    }
    if (history != nullptr) {
        history->Record(SystemFailureEvent(clock.Read(), FailureCause::kPowerOff, action,
                                           refusal.empty() ? "refused" : refusal));
    }
    return false;
}

}  // namespace chimeon
