#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>

#include "core/audio/wave.h"
#include "core/audio/wave_in.h"

namespace chimeon {

// A recording streamed to disk as it arrives, into a temporary file beside the target
// ("NAME.wav.XXXXXX.part"). After every chunk the file is a canonical WAV of all it holds and is
// flushed to disk, so a crash or power cut loses at most the chunk being written; Finish renames
// it over the target. The recording thread appends while the window's thread may finish or drop
// it (after giving up on a device that did not answer): a lock keeps the two apart.
class WaveRecordingFile : public WaveChunkSink {
public:
    // Raises FileError when the temporary file cannot be made.
    WaveRecordingFile(const std::filesystem::path& target, const WaveFormat& format);
    // Removes the temporary file unless the recording was finished.
    ~WaveRecordingFile() override;
    WaveRecordingFile(const WaveRecordingFile&) = delete;
    WaveRecordingFile& operator=(const WaveRecordingFile&) = delete;

    int Append(const CWaveBuffer& chunk) override;
    // Raises FileError when the file cannot be completed or put in place; the temporary file
    // then stays, with everything recorded, for another try.
    void Finish();

    const std::filesystem::path& TemporaryPath() const { return temporary_; }

private:
    std::mutex mutex_;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    WaveFormat format_;
    int fd_ = -1;
    std::uint64_t dataBytes_ = 0;
    bool finished_ = false;
};

}  // namespace chimeon
