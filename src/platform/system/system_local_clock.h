#pragma once

#include "core/system/local_clock.h"

namespace chimeon {

// The machine's wall clock in the local time zone.
class SystemLocalClock : public LocalClock {
public:
    ClockReading Read() const override;
};

}  // namespace chimeon
