#pragma once

#include <string>

#include "core/system/clock_health.h"

namespace chimeon {

// Asks systemd-timedated on the system bus (org.freedesktop.timedate1, NTPSynchronized) whether
// the clock is synchronised. A bus or a service that is not there, or does not answer within a
// few seconds, is kNoAnswer with the reason.
class TimedatedClockSync : public ClockSyncSource {
public:
    // `busAddress`: the system bus when empty (DBUS_SYSTEM_BUS_ADDRESS where set), else the bus
    // at this D-Bus address.
    explicit TimedatedClockSync(std::string busAddress = {});

    ClockHealth Ask() override;

private:
    std::string busAddress_;
};

}  // namespace chimeon
