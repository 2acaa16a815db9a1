#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
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

// One playbin with one file, from its preroll to its end. It keeps its own state:
//
//   prerolling --WaitPrerolled--> prepared (paused), or failed when it cannot be played
//   prepared <--Play/Pause--> playing --end of the file, or a stall--> ended --Seek--> prepared
//   prepared, playing, ended --an error--> failed (at its end until it is destroyed)
//
// One that outlasts its deadline stays prerolling. Bus messages are read inside its calls, on
// its owner's thread.
struct LevelTap;

class Pipeline {
public:
    enum class Outcome { kReady, kUnplayable, kNoOutput, kTimedOut };
    enum class State { kPrerolling, kPrepared, kPlaying, kEnded, kFailed };

    // Builds the playbin for `path` with these sinks and starts prerolling it; null when playbin
    // is missing or the path makes no URI. `tap` is the route of the pictures of `videoSink`,
    // when it is one (null otherwise); `forSurface` says whether it was made for a surface
    // (whether or not its pictures could be tapped).
    static std::unique_ptr<Pipeline> Start(const std::string& path, ObjectPtr<GstElement> audioSink,
                                           ObjectPtr<GstElement> videoSink,
                                           std::shared_ptr<VideoTap> tap, bool forSurface);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    const std::string& path() const { return path_; }
    State state() const { return state_; }
    // Made for this file as it is on disk now, and for the same kind of output.
    bool IsFor(const std::string& path, const FileStamp& stamp, bool forSurface) const;
    // A pipeline released in the background is stopped on one of GStreamer's threads, so that
    // its teardown never delays its owner (a file prepared ahead, or one that may be stuck). One
    // still prerolling always is: stopping it could block inside a demuxer.
    void ReleaseInBackground(bool background) { releaseInBackground_ = background; }

    // Waits until the file is prerolled (paused at its start), found unplayable, or the
    // deadline passed.
    Outcome WaitPrerolled(Clock::time_point deadline);
    // Why the file did not preroll, in words.
    const std::string& error() const { return error_; }
    // A sound-server stream that sat paused for seconds starts late (its clock ran on while
    // no sample was played: about 100 ms on PulseAudio). Before a prepared file plays, its
    // audio sink therefore gives up that stream and prerolls into a fresh one; the decoders
    // stay as they are, so this takes a millisecond or two.
    bool RenewOutput(Clock::time_point deadline);

    // Where its pictures go, and showing them.
    void ShowOn(VideoOutput* surface);
    void ShowPictures();

    void Play();
    // Sets a prepared file playing so that its first sample sounds at `dueNs` on the system's
    // real-time clock (nanoseconds since 1970-01-01 UTC). The pipeline runs on that clock with
    // its base time now, and the sinks' pads shift the file's running time by the wait (a base
    // time in the future makes pulsesink wait twice, and sound late by the whole wait). False
    // when there is too little time left or it does not preroll in time; it is then prepared
    // at its start as before.
    bool StartAt(std::int64_t dueNs);
    // How late the first sample sounded, from the position the sink reports against the clock.
    std::optional<std::int64_t> StartLatenessMs();
    void Pause();
    // Moves to `positionMs` (within the file) and stays paused there.
    void Seek(std::int64_t positionMs);
    // 0 to kNormalPlayerVolume (unity gain); anything outside is clamped.
    void SetVolume(int volume);
    int volume() const { return volume_; }
    // The position now: short of the length until the end is seen, then the length. A playing
    // file whose position has not moved for `stallLimit` is taken as ended.
    std::int64_t Position(std::chrono::milliseconds stallLimit);
    std::int64_t Length();
    // The level of the first seconds since it last played from its start, as measured by the
    // audio sink's level element (with the sink's own stream volume and mute applied): once,
    // when they have played or the file ended sooner.
    std::optional<SoundLevel> TakeStartLevel();

private:
    Pipeline() = default;
    bool Ended() const { return state_ == State::kEnded || state_ == State::kFailed; }
    // Reads what the bus has gathered since the last call: the end of the file and errors.
    void Poll();
    void QueryDuration();
    // The position now, or the last one known.
    std::int64_t QueryPosition();
    // At the end, position and length are one and the same number: the length when known,
    // otherwise the position reached.
    void MarkEnded();
    // The first buffer waiting in a paused sink already went through the volume in force when
    // it was prerolled; a flushing seek prerolls it again at the volume now set.
    void SeekPaused(std::int64_t positionMs);
    // A constant-bitrate MP3 without a frame index tells its duration only after a good part
    // of it was parsed. Until then the length is worked out from the bitrate of the frames
    // prerolled and the size of the audio data, so that it is right from the start.
    void EstimateDuration();
    void Fail(GstMessage* message);
    void SetSinkOffsets(std::int64_t offsetNs);
    // Measures afresh: what flows after a flushing seek is the file's start again.
    void RestartLevel();
    // The gain and mute of a sound-server stream after the level element (1, false for none).
    void OutputGain(double* gain, bool* muted) const;

    std::string path_;
    FileStamp stamp_;
    bool forSurface_ = false;
    ObjectPtr<GstElement> playbin_;
    ObjectPtr<GstElement> audioSink_;
    ObjectPtr<GstBus> bus_;
    std::shared_ptr<VideoTap> tap_;
    std::shared_ptr<LevelTap> level_;
    bool levelPlaying_ = false;  // played since the measure began
    bool levelTaken_ = false;
    bool releaseInBackground_ = false;
    // Started by StartAt: its running time is shifted and its base time fixed until a seek.
    bool startedAt_ = false;
    std::int64_t dueNs_ = 0;

    State state_ = State::kPrerolling;
    Outcome outcome_ = Outcome::kReady;  // of the preroll, once it settled
    bool settled_ = false;               // prerolled or failed: stopping it cannot block
    std::string error_;

    int volume_ = kNormalPlayerVolume;
    int prerolledVolume_ = kNormalPlayerVolume;  // the volume the waiting first buffer went through
    bool atStart_ = true;  // prerolled at 0 and not moved since: a Seek(0) has nothing to do
    std::int64_t durationMs_ = -1;
    bool estimated_ = false;  // durationMs_ is worked out, not yet told by the stream
    std::int64_t lastPositionMs_ = 0;
    std::int64_t lengthGivenMs_ = 0;  // the last length reported while the duration is unknown
    std::int64_t endMs_ = 0;
    // Where and when the position last moved while playing.
    std::int64_t progressPositionMs_ = -1;
    Clock::time_point progressAt_{};
};

}  // namespace chimeon::gst
