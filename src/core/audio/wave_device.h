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

    explicit CWaveDevice(PcmSystem* system = nullptr) : m_system(system) {}
    virtual ~CWaveDevice() = default;

    bool IsInputFormat(const CWave& wave) const {
        return m_system != nullptr &&
               m_system->IsFormatSupported(PcmDirection::kCapture, m_id, wave.GetFormat());
    }
    bool IsOutputFormat(const CWave& wave) const {
        return m_system != nullptr &&
               m_system->IsFormatSupported(PcmDirection::kPlayback, m_id, wave.GetFormat());
    }
    PcmSystem* System() const { return m_system; }

    std::uint32_t m_id = kWaveMapper;

private:
    PcmSystem* m_system;
};

}  // namespace chimeon
