#include "core/audio/wave_device.h"

#include <vector>

namespace chimeon {
namespace {

std::string DeviceName(const PcmSystem& system, PcmDirection direction, std::uint32_t n) {
    const std::vector<std::string> names = system.DeviceNames(direction);
    return n < names.size() ? names[n] : std::string();
}

}  // namespace

std::string InputDeviceName(const PcmSystem& system, std::uint32_t n) {
    return DeviceName(system, PcmDirection::kCapture, n);
}

std::string OutputDeviceName(const PcmSystem& system, std::uint32_t n) {
    return DeviceName(system, PcmDirection::kPlayback, n);
}

}  // namespace chimeon
