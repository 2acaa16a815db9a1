#pragma once

#include <cstdint>
#include <memory>

#include "core/audio/pcm_engine.h"
#include "core/audio/wave.h"

namespace chimeon {

// Plays a sound on the output device in chunks of 4096 bytes; the device holds three of them,
// and the engine's thread refills it as they are heard. Playing ends by itself at the end of
// the sound (IsPlaying turns false; nothing is signalled).
class CWaveOut : public PcmEngine {
public:
    static constexpr std::uint32_t kChunkBytes = 4096;
    static constexpr unsigned kDeviceBuffers = 3;

    explicit CWaveOut(PcmSystem& system) : PcmEngine(system) {}

    // The sound to play; the engine keeps its own (shared, never changed) copy.
    void SetWave(CWave wave) { wave_ = std::make_shared<const CWave>(std::move(wave)); }
    bool Open();
    // Plays the whole sound from its first byte; on an open device it first resets.
    bool Play();
    // Started and not yet at its end or reset; a paused sound is still playing.
    bool IsPlaying() const;

private:
    std::shared_ptr<const CWave> wave_ = std::make_shared<const CWave>();
};

}  // namespace chimeon
