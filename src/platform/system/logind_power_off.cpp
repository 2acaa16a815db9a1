#include "platform/system/logind_power_off.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <memory>

namespace chimeon {
namespace {

// Logind answers at once; a bus that hangs must not hold the window for long.
constexpr std::uint64_t kCallTimeoutUs = 5'000'000;

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusHandle = std::unique_ptr<sd_bus, BusUnref>;

int Connect(const std::string& address, BusHandle& handle) {
    sd_bus* bus = nullptr;
    if (address.empty()) {
        const int result = sd_bus_open_system(&bus);
        handle.reset(bus);
        return result;
    }
    int result = sd_bus_new(&bus);
    handle.reset(bus);
    if (result >= 0) {
        result = sd_bus_set_address(bus, address.c_str());
    }
    if (result >= 0) {
        result = sd_bus_set_bus_client(bus, 1);
    }
    if (result >= 0) {
        result = sd_bus_start(bus);
    }
    return result;
}

}  // namespace

LogindPowerOff::LogindPowerOff(std::string busAddress) : busAddress_(std::move(busAddress)) {}

bool LogindPowerOff::Request(std::string* refusal) {
    BusHandle bus;
    if (int result = Connect(busAddress_, bus); result < 0) {
        *refusal = std::string("the system bus cannot be reached: ") + std::strerror(-result);
        return false;
    }
    sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutUs);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int result =
        sd_bus_call_method(bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "PowerOff", &error, nullptr, "b", 0);
    if (result < 0) {
        *refusal = error.name != nullptr
                       ? std::string(error.name) + ": " + (error.message ? error.message : "")
                       : std::string("logind did not answer: ") + std::strerror(-result);
    }
    sd_bus_error_free(&error);
    return result >= 0;
}

}  // namespace chimeon
