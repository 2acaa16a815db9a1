#pragma once

#include <string>

#include "core/audio/pcm_port.h"

namespace chimeon {

// The sound system's PCM devices through ALSA. The wave mapper stands for `mapperDevice`
// ("default", which reaches PulseAudio or PipeWire where they run; "null" records silence as
// fast as it is read and plays into nothing). Streams never block: every wait is bounded.
class AlsaPcmSystem : public PcmSystem {
public:
    explicit AlsaPcmSystem(std::string mapperDevice = "default")
        : mapperDevice_(std::move(mapperDevice)) {}

    std::unique_ptr<PcmStream> Open(PcmDirection direction, std::uint32_t device,
                                    int* error) override;
    bool IsFormatSupported(PcmDirection direction, std::uint32_t device,
                           const WaveFormat& format) override;
    // snd_strerror's text.
    std::string ErrorText(int error) const override;
    // The names of the sound cards that have a PCM device of the direction (ALSA's plugins,
    // which every card's hints list again, are no devices to choose).
    std::vector<std::string> DeviceNames(PcmDirection direction) const override;

private:
    std::string AlsaName(PcmDirection direction, std::uint32_t device) const;

    std::string mapperDevice_;
};

}  // namespace chimeon
