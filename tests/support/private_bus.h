#pragma once

#include <sys/types.h>
#include <string>

namespace chimeon::test {

// A session bus of the test's own (`dbus-daemon --session`), ended with the object: nothing the
// test does reaches the user's bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The address to connect to ("" when the bus could not be started).
    const std::string& address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

}  // namespace chimeon::test
