#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/engine/media_player.h"
#include "platform/engine/gst_handles.h"
#include "platform/engine/gst_video_tap.h"

namespace chimeon::gst {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kNsPerMs = 1000000;

// What identifies a file on disk, so that a pipeline prepared for a path is not used after the
// file was replaced.
struct FileStamp {
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

// A regular, non-empty file that can be opened for reading. Anything else (a folder, a device,
// a pipe that would block the open) is refused before GStreamer sees it.
bool LooksPlayable(const FileStamp& stamp, const std::string& path);

// One playbin with one file, and what the player has learnt about it.
class Pipeline {
public:
    enum class Outcome { kReady, kUnplayable, kNoOutput, kTimedOut };

    // Builds the playbin for `path` with these sinks and starts prerolling it; null when playbin
    // is missing or the path makes no URI. `tap` is the route of the pictures of `videoSink`,
    // when it is one (null otherwise).
    static std::unique_ptr<Pipeline> Start(const std::string& path, ObjectPtr<GstElement> audioSink,
                                           ObjectPtr<GstElement> videoSink,
                                           std::shared_ptr<VideoTap> tap);
    ~Pipeline();

    // Waits until the file is prerolled (paused at its start), found unplayable, or the
    // deadline passed.
    Outcome WaitPrerolled(Clock::time_point deadline);
    // A sound-server stream that sat paused for seconds starts late (its clock ran on while
    // no sample was played: about 100 ms on PulseAudio). Before a prepared file plays, its
    // audio sink therefore gives up that stream and prerolls into a fresh one; the decoders
    // stay as they are, so this takes a millisecond or two.
    bool RenewOutput(Clock::time_point deadline);
    // Reads what the bus has gathered since the last call: the end of the file and errors.
    void Poll();
    void QueryDuration();
    // The position now, or the last one known.
    std::int64_t QueryPosition();
    // At the end, position and length are one and the same number: the length when known,
    // otherwise the position reached.
    void MarkEnded();

    std::string path;
    FileStamp stamp;
    bool withSurface = false;  // made for a surface (whether or not its picture could be tapped)
    ObjectPtr<GstElement> playbin;
    ObjectPtr<GstElement> audioSink;
    ObjectPtr<GstBus> bus;
    std::shared_ptr<VideoTap> tap;

    bool settled = false;  // prerolled or failed: stopping it cannot block
    bool releaseAsync = false;
    Outcome outcome = Outcome::kReady;
    std::string error;

    int prerolledVolume = kNormalPlayerVolume;  // the volume the waiting first buffer went through
    bool atStart = true;  // prerolled at 0 and not moved since: a Seek(0) has nothing to do
    bool playing = false;
    bool ended = false;
    bool broken = false;  // an error stopped it; it stays at its end until closed
    std::int64_t durationMs = -1;
    bool estimated = false;  // durationMs is worked out, not yet told by the stream
    std::int64_t lastPositionMs = 0;
    std::int64_t lengthGivenMs = 0;  // the last length reported while the duration is unknown
    // Where and when the position last moved while playing.
    std::int64_t progressPositionMs = -1;
    Clock::time_point progressAt{};
    std::int64_t endMs = 0;

private:
    // A constant-bitrate MP3 without a frame index tells its duration only after a good part
    // of it was parsed. Until then the length is worked out from the bitrate of the frames
    // prerolled and the size of the audio data, so that it is right from the start.
    void EstimateDuration();
    void Fail(GstMessage* message);
};

}  // namespace chimeon::gst
