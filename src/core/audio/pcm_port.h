#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/audio/wave.h"

namespace chimeon {

enum class PcmDirection { kCapture, kPlayback };

// One open stream of the sound system's PCM devices, used by one thread at a time (the engine's
// own). Results are 0 or frame counts, or a negative error code of the sound system.
class PcmStream {
public:
    virtual ~PcmStream() = default;
    // Sets the format and the device's buffering: `periods` periods of `periodFrames` each.
    virtual int Configure(const WaveFormat& format, std::uint32_t periodFrames,
                          unsigned periods) = 0;
    // Capture begins; playback is made ready for the first write.
    virtual int Start() = 0;
    // Pending frames are dropped; the device idles until Start.
    virtual int Stop() = 0;
    // The device holds its place until Resume. One that cannot drops what it holds instead and
    // answers how many frames that was (a player plays them again); otherwise 0, or an error.
    virtual long Pause() = 0;
    virtual int Resume() = 0;
    // Wait at most `timeoutMs` for data (room), then move what is there without blocking: the
    // frames moved, 0 when the wait ran out, or an error code.
    virtual long Read(void* frames, std::uint32_t count, int timeoutMs) = 0;
    virtual long Write(const void* frames, std::uint32_t count, int timeoutMs) = 0;
    // Back to work after an overrun, underrun or suspend: 0, or the error that remains.
    virtual int Recover(int error) = 0;
    // Playback: frames written but not yet heard, or an error code (an underrun once all is
    // heard).
    virtual long Delay() = 0;
};

// The platform's PCM devices. Device numbers count the devices DeviceNames lists; the wave
// mapper is the system's default device.
class PcmSystem {
public:
    virtual ~PcmSystem() = default;
    virtual std::unique_ptr<PcmStream> Open(PcmDirection direction, std::uint32_t device,
                                            int* error) = 0;
    virtual bool IsFormatSupported(PcmDirection direction, std::uint32_t device,
                                   const WaveFormat& format) = 0;
    // The sound system's own text for an error code.
    virtual std::string ErrorText(int error) const = 0;
    virtual std::vector<std::string> DeviceNames(PcmDirection direction) const = 0;
};

}  // namespace chimeon
