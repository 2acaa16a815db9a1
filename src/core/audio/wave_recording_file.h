#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/audio/wave.h"
#include "core/audio/wave_in.h"

namespace chimeon {

// Why `target` cannot take a recording (a folder, a folder that does not exist, a name too long,
// no permission), in the operator's words; nothing when it can as far as can be told before
// writing.
std::optional<std::string> RecordingTargetProblem(const std::filesystem::path& target);

// The recordings that a crash or power cut left as temporary files in `folders`: each becomes a
// playable WAV beside it ("NAME.wav.XXXXXX.wav"), never over an existing file; a temporary file
// that another recording still writes is left alone. The files made, in order.
std::vector<std::filesystem::path> RescueRecordings(
    const std::vector<std::filesystem::path>& folders);
// The folders recordings went to, newest first, as kept in the file `list` (one a line): the
// rescue at start looks there too. A folder used again moves to the front; the oldest drop off.
std::vector<std::filesystem::path> RememberedRecordingFolders(const std::filesystem::path& list);
void RememberRecordingFolder(const std::filesystem::path& list,
                             const std::filesystem::path& folder);
// The file in the data directory that lists the folders recordings went to.
inline constexpr char kRecordingFoldersFileName[] = "recording-folders.txt";
// Where to look at start: the music folder, then the folders recordings went to.
std::vector<std::filesystem::path> RecordingFoldersToRescue(const std::filesystem::path& music,
                                                            const std::filesystem::path& list);
// The notice detail of rescued recordings: their paths, "" when there are none.
std::string RescuedRecordingsList(const std::vector<std::filesystem::path>& files);

// A recording streamed to disk as it arrives, into a temporary file beside the target
// ("NAME.wav.XXXXXX.part", the name cut short so that any legal target works; locked while it
// is written). After every chunk the file is a canonical WAV of all it holds and is
// flushed to disk, so a crash or power cut loses at most the chunk being written; Finish renames
// it over the target. The recording thread appends while the window's thread may finish or drop
// it (after giving up on a device that did not answer): a lock keeps the two apart.
class WaveRecordingFile : public WaveChunkSink {
public:
    // Raises FileError when the temporary file cannot be made.
    WaveRecordingFile(const std::filesystem::path& target, const WaveFormat& format);
    // Removes the temporary file of an unfinished recording that holds no sound; one that holds
    // sound stays for the rescue at the next start.
    ~WaveRecordingFile() override;
    WaveRecordingFile(const WaveRecordingFile&) = delete;
    WaveRecordingFile& operator=(const WaveRecordingFile&) = delete;

    int Append(const CWaveBuffer& chunk) override;
    // Raises FileError when the file cannot be completed or put in place; the temporary file
    // then stays, with everything recorded, for another try.
    void Finish();

    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    const std::filesystem::path& Target() const { return target_; }

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
