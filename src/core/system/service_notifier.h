#pragma once

#include <chrono>
#include <string_view>

namespace chimeon {

// What the broadcaster tells the service manager that runs it: that it is ready, what it does,
// and, from the thread that keeps the bells, that this thread still runs.
class ServiceNotifier {
public:
    virtual ~ServiceNotifier() = default;
    virtual void Ready() = 0;
    virtual void Status(std::string_view text) = 0;
    virtual void Reloading() = 0;
    virtual void Stopping() = 0;
    virtual void WatchdogPing() = 0;
    // The watchdog's timeout (a ping is due at half of it at the latest); zero when nothing
    // watches.
    virtual std::chrono::microseconds WatchdogInterval() const = 0;
};

}  // namespace chimeon
