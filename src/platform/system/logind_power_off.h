#pragma once

#include <string>

#include "core/system/power_off.h"

namespace chimeon {

// Powers the PC off through systemd-logind on the system bus (org.freedesktop.login1.Manager
// PowerOff, never asking the operator for a password: interactive false). Logind decides by its
// policy; a refusal comes back with logind's reason, and so does a bus or a logind that is not
// there.
class LogindPowerOff : public PowerOff {
public:
    // `busAddress`: the system bus when empty, else the bus at this D-Bus address (tests).
    explicit LogindPowerOff(std::string busAddress = {});

    [[nodiscard]] bool Request(std::string* refusal) override;

private:
    std::string busAddress_;
};

}  // namespace chimeon
