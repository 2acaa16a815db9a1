#pragma once

#include <cstdint>
#include <memory>

#include "core/audio/pcm_engine.h"
#include "core/audio/wave.h"

namespace chimeon {

// Where a recording goes, chunk by chunk, as it arrives.
class WaveChunkSink {
public:
    virtual ~WaveChunkSink() = default;
    // On the recording thread: 0, or the errno value of a failed write (the recording stops).
    [[nodiscard]] virtual int Append(const CWaveBuffer& chunk) = 0;
};

// Records from the input device. The device holds two buffers of the size given to Start; the
// engine's thread takes each one as it fills and hands it to the sink as a chunk. Pause hands on
// the partly filled buffer; Close everything still pending. Nothing is kept in memory, so a
// recording of hours costs no more than one of seconds.
class CWaveIn : public PcmEngine {
public:
    static constexpr unsigned kDeviceBuffers = 2;

    explicit CWaveIn(PcmSystem& system) : PcmEngine(system) {}

    // The recording format (channels, samples per second, bits per sample of the record).
    void SetFormat(const WaveFormat& format);
    const CWave& GetWave() const { return wave_; }
    // Handed to the device at the next Open.
    void SetChunkSink(std::shared_ptr<WaveChunkSink> sink) { sink_ = std::move(sink); }

    bool Open();
    // Starts recording into fresh buffers of `bufferSize` bytes.
    bool Start(std::uint32_t bufferSize);
    // Whether the device has delivered sound since the last Start.
    bool SoundArrived() const;

private:
    CWave wave_;
    std::shared_ptr<WaveChunkSink> sink_;
    std::uint32_t bufferSize_ = 4096;
};

}  // namespace chimeon
