#include "platform/system/timedated_clock_sync.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>

namespace chimeon {
namespace {

constexpr std::uint64_t kCallTimeoutUs = 3'000'000;

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

}  // namespace

TimedatedClockSync::TimedatedClockSync(std::string busAddress)
    : busAddress_(std::move(busAddress)) {}

ClockHealth TimedatedClockSync::Ask() {
    sd_bus* raw = nullptr;
    int result = 0;
    if (busAddress_.empty()) {
        result = sd_bus_open_system(&raw);
    } else if ((result = sd_bus_new(&raw)) >= 0) {
        result = sd_bus_set_address(raw, busAddress_.c_str());
        if (result >= 0) {
            result = sd_bus_set_bus_client(raw, 1);
        }
        if (result >= 0) {
            result = sd_bus_start(raw);
        }
    }
    std::unique_ptr<sd_bus, BusUnref> bus(raw);
    if (result < 0) {
        return {ClockSync::kNoAnswer,
                std::string("the system bus cannot be reached: ") + std::strerror(-result)};
    }
    sd_bus_set_method_call_timeout(raw, kCallTimeoutUs);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int synchronised = 0;
    result = sd_bus_get_property_trivial(raw, "org.freedesktop.timedate1",
                                         "/org/freedesktop/timedate1", "org.freedesktop.timedate1",
                                         "NTPSynchronized", &error, 'b', &synchronised);
    ClockHealth health;
    if (result < 0) {
        health.sync = ClockSync::kNoAnswer;
        health.detail = error.name != nullptr
                            ? std::string(error.name) + ": " + (error.message ? error.message : "")
                            : std::string("timedated did not answer: ") + std::strerror(-result);
    } else {
        health.sync = synchronised != 0 ? ClockSync::kSynchronized : ClockSync::kNotSynchronized;
    }
    sd_bus_error_free(&error);
    return health;
}

}  // namespace chimeon
