#pragma once

#include <cstdint>

#include "core/audio/pcm_port.h"
#include "core/audio/wave.h"

namespace chimeon {

// Names a sound device and asks whether it takes a format. Nothing changes the default: the
// engines always use the wave mapper, the system's default device.
class CWaveDevice {
public:
    static constexpr std::uint32_t kWaveMapper = 0xFFFFFFFF;

    explicit CWaveDevice(PcmSystem* system = nullptr) : system_(system) {}
    virtual ~CWaveDevice() = default;

    bool IsInputFormat(const CWave& wave) const {
        return system_ != nullptr &&
               system_->IsFormatSupported(PcmDirection::kCapture, m_id, wave.GetFormat());
    }
    bool IsOutputFormat(const CWave& wave) const {
        return system_ != nullptr &&
               system_->IsFormatSupported(PcmDirection::kPlayback, m_id, wave.GetFormat());
    }
    PcmSystem* System() const { return system_; }

    std::uint32_t m_id = kWaveMapper;

private:
    PcmSystem* system_;
};

}  // namespace chimeon
