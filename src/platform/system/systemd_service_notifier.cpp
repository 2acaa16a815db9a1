#include "platform/system/systemd_service_notifier.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <string>

namespace chimeon {

SystemdServiceNotifier::SystemdServiceNotifier() {
    std::uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) > 0) {
        watchdogInterval_ = std::chrono::microseconds(microseconds);
    }
}

void SystemdServiceNotifier::Ready() {
    sd_notify(0, "READY=1");
}

void SystemdServiceNotifier::Status(std::string_view text) {
    // A status is one line: a newline would start another assignment.
    std::string line = "STATUS=";
    for (char c : text) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    sd_notify(0, line.c_str());
}

void SystemdServiceNotifier::Reloading() {
    sd_notify(0, "RELOADING=1");
}

void SystemdServiceNotifier::Stopping() {
    sd_notify(0, "STOPPING=1");
}

void SystemdServiceNotifier::WatchdogPing() {
    sd_notify(0, "WATCHDOG=1");
}

}  // namespace chimeon
