#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/engine/media_player.h"

namespace chimeon {

namespace gst {
class Pipeline;
}
class SnapcastFeed;

struct GstMediaPlayerOptions {
    // Builds the description of the audio sink for each new file ("fakesink sync=true" in
    // tests). Empty: the sound server's sink (PulseAudio, or PipeWire through its PulseAudio
    // service) when one answers, ALSA's default device otherwise.
    std::function<std::string()> audioSink;
    // Where video goes when no surface was given.
    std::string hiddenVideoSink = "fakevideosink";
    // The longest an Open may take before it gives up on a file that does not preroll.
    std::chrono::milliseconds openTimeout{2000};
    // A playing file whose position has not moved for this long (an output that stopped taking
    // sound without an error) is taken as ended, so a play-once item cannot hold up every later
    // bell of the day.
    std::chrono::milliseconds stallLimit{10000};
    // The network output: every file's sound goes to this feed as well, and to the local output
    // only with `localToo`.
    std::shared_ptr<SnapcastFeed> network;
    bool localToo = true;
    // Asked when a start's level is taken (after its first seconds): the level only sees the
    // stream's own volume, so a master volume at zero or muted makes the start silent here.
    // Empty: not asked.
    std::function<OutputSilence()> outputSilence;
};

// The media player on GStreamer's playbin, one pipeline per open file.
//
// Everything runs on the thread that owns the player: bus messages are read inside its calls
// (end of stream and errors are noticed by the next GetPosition or GetLength), so no other
// thread ever changes its state. Only decoded pictures travel from a streaming thread straight
// to the VideoOutput.
//
// Prepare(path) opens and prerolls the file in a second pipeline; an Open of the same file
// (unchanged on disk, same kind of surface) takes that pipeline over, renews its sound-server
// stream and is done in a millisecond or two, so Play starts sound at once.
class GstMediaPlayer final : public MediaPlayer {
public:
    explicit GstMediaPlayer(GstMediaPlayerOptions options = {});
    ~GstMediaPlayer() override;
    GstMediaPlayer(const GstMediaPlayer&) = delete;
    GstMediaPlayer& operator=(const GstMediaPlayer&) = delete;

    void SetParentWindow(VideoOutput* surface) override;
    void SetFile(std::string_view path) override;
    bool Open() override;
    void Close() override;
    void Play() override;
    void Stop() override;
    void Seek(std::int64_t positionMs) override;
    std::int64_t GetPosition() override;
    std::int64_t GetLength() override;
    // Takes 0 to 1000 (1000 is unity gain); anything outside is clamped, so a hand-edited
    // percentage can never amplify the loudspeakers.
    void SetVolume(int volume) override;
    int GetVolume() const override { return volume_; }
    void ShowMaximized() override;
    void Prepare(std::string_view path) override;
    bool CanScheduleStart() const override { return true; }
    bool ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) override;
    void CancelScheduledStart() override;
    std::optional<std::int64_t> ScheduledStartLateness() override;
    std::optional<SoundLevel> TakeStartLevel() override;
    OpenFailure LastOpenFailure() const override { return lastFailure_; }
    std::string LastOpenFailureReason() const override { return lastFailureReason_; }

    // True while a file is open (for tests and diagnostics).
    bool IsOpen() const { return active_ != nullptr; }

private:
    bool FailOpen(OpenFailure failure, std::string reason);
    std::unique_ptr<gst::Pipeline> StartPipeline(const std::string& path, bool* outputMissing);
    void DiscardPrepared();

    GstMediaPlayerOptions options_;
    VideoOutput* surface_ = nullptr;
    std::string file_;
    int volume_ = 0;
    std::string lastOutputError_;
    OpenFailure lastFailure_ = OpenFailure::kNone;
    std::string lastFailureReason_;
    std::unique_ptr<gst::Pipeline> active_;
    std::unique_ptr<gst::Pipeline> prepared_;
};

// Makes GStreamer usable (once per process); false when it cannot start.
bool EnsureGStreamer();

}  // namespace chimeon
