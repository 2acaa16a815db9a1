#pragma once

#include "core/system/service_notifier.h"

namespace chimeon {

// sd_notify(3): says nothing, and costs nothing, when no service manager listens (NOTIFY_SOCKET
// unset: a start from a console or from cron).
class SystemdServiceNotifier final : public ServiceNotifier {
public:
    SystemdServiceNotifier();
    void Ready() override;
    void Status(std::string_view text) override;
    void Reloading() override;
    void Stopping() override;
    void WatchdogPing() override;
    std::chrono::microseconds WatchdogInterval() const override { return watchdogInterval_; }

private:
    std::chrono::microseconds watchdogInterval_{0};
};

}  // namespace chimeon
