#include "platform/engine/gst_media_player.h"

#include <gst/gst.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/system/log.h"
#include "platform/engine/gst_handles.h"
#include "platform/engine/gst_pipeline.h"
#include "platform/engine/gst_sink_probe.h"
#include "platform/engine/gst_video_tap.h"
#include "platform/network/network_output_bin.h"

namespace chimeon {

bool EnsureGStreamer() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        GError* raw = nullptr;
        ready = gst_init_check(nullptr, nullptr, &raw) == TRUE;
        gst::ErrorPtr error(raw);
        if (!ready) {
            Log(LogLevel::kError, "player",
                std::string("media playback unavailable: ") +
                    (error ? gst::ToString(error->message) : "GStreamer did not start"));
        }
    });
    return ready;
}

using gst::Pipeline;

GstMediaPlayer::GstMediaPlayer(GstMediaPlayerOptions options) : options_(std::move(options)) {
    EnsureGStreamer();
}

GstMediaPlayer::~GstMediaPlayer() {
    Close();
    DiscardPrepared();
}

void GstMediaPlayer::SetParentWindow(VideoOutput* surface) {
    surface_ = surface;
    if (active_) {
        active_->ShowOn(surface_);
    }
}

void GstMediaPlayer::SetFile(std::string_view path) {
    file_ = std::string(path);
}

std::unique_ptr<Pipeline> GstMediaPlayer::StartPipeline(const std::string& path,
                                                        bool* outputMissing) {
    *outputMissing = false;
    if (!EnsureGStreamer()) {
        return nullptr;
    }
    std::vector<std::string> candidates = {"pulsesink", "alsasink"};
    if (options_.audioSink) {
        candidates = {options_.audioSink()};
    }
    std::string reasons;
    gst::ObjectPtr<GstElement> audioSink;
    if (!options_.network || options_.localToo) {
        audioSink = gst::FirstReadyAudioSink(candidates, &reasons);
        if (!audioSink && !options_.network) {
            *outputMissing = true;
            lastOutputError_ = reasons;
            return nullptr;
        }
    }
    if (options_.network) {
        // Without a sound card the network output still plays.
        audioSink = MakeNetworkOutputBin(std::move(audioSink), options_.network);
        if (!audioSink) {
            *outputMissing = true;
            lastOutputError_ = "the network output cannot be made";
            return nullptr;
        }
    }
    std::shared_ptr<gst::VideoTap> tap;
    gst::ObjectPtr<GstElement> videoSink;
    if (surface_ != nullptr) {
        tap = std::make_shared<gst::VideoTap>();
        videoSink = gst::MakeVideoTapSink(tap);
        if (!videoSink) {
            tap.reset();
        }
    }
    if (!videoSink) {
        std::string unused;
        videoSink = gst::MakeReadySink(options_.hiddenVideoSink, &unused);
    }
    return Pipeline::Start(path, std::move(audioSink), std::move(videoSink), std::move(tap),
                           surface_ != nullptr);
}

void GstMediaPlayer::DiscardPrepared() {
    prepared_.reset();
}

void GstMediaPlayer::Prepare(std::string_view path) {
    std::string wanted(path);
    gst::FileStamp stamp = gst::StampOf(wanted);
    if (prepared_ && prepared_->IsFor(wanted, stamp, surface_ != nullptr)) {
        return;
    }
    DiscardPrepared();
    if (!gst::LooksPlayable(stamp, wanted)) {
        return;
    }
    bool outputMissing = false;
    prepared_ = StartPipeline(wanted, &outputMissing);
    if (prepared_) {
        prepared_->ReleaseInBackground(true);  // never let its teardown delay an Open
    }
}

bool GstMediaPlayer::FailOpen(OpenFailure failure, std::string reason) {
    lastFailure_ = failure;
    lastFailureReason_ = std::move(reason);
    return false;
}

bool GstMediaPlayer::Open() {
    if (active_) {
        Close();
    }
    lastFailure_ = OpenFailure::kNone;
    lastFailureReason_.clear();
    auto deadline = gst::Clock::now() + options_.openTimeout;
    gst::FileStamp stamp = gst::StampOf(file_);
    if (!gst::LooksPlayable(stamp, file_)) {
        if (prepared_ && prepared_->path() == file_) {
            DiscardPrepared();
        }
        return FailOpen(OpenFailure::kFile, "not a readable, non-empty regular file");
    }

    std::unique_ptr<Pipeline> pipeline;
    Pipeline::Outcome outcome = Pipeline::Outcome::kUnplayable;
    if (prepared_ && prepared_->IsFor(file_, stamp, surface_ != nullptr)) {
        pipeline = std::move(prepared_);
        pipeline->ReleaseInBackground(false);
        outcome = pipeline->WaitPrerolled(deadline);
        if (outcome == Pipeline::Outcome::kReady && !pipeline->RenewOutput(deadline)) {
            pipeline->ReleaseInBackground(true);
            pipeline.reset();  // opened afresh below
        } else if (outcome == Pipeline::Outcome::kNoOutput) {
            pipeline.reset();  // the output may have come up since: try it afresh
        }
    } else if (prepared_ && prepared_->path() == file_) {
        DiscardPrepared();
    }
    if (!pipeline) {
        bool outputMissing = false;
        pipeline = StartPipeline(file_, &outputMissing);
        if (!pipeline) {
            if (outputMissing) {
                Log(LogLevel::kError, "player",
                    "no audio output for " + file_ + " (" + lastOutputError_ +
                        "); the next file tries again",
                    {{"FILE", file_}});
                return FailOpen(OpenFailure::kNoAudioOutput,
                                "no audio output: " + lastOutputError_);
            }
            return FailOpen(OpenFailure::kFile, "the file cannot be played");
        }
        outcome = pipeline->WaitPrerolled(deadline);
    }
    switch (outcome) {
        case Pipeline::Outcome::kReady:
            break;
        case Pipeline::Outcome::kNoOutput:
            Log(LogLevel::kError, "player",
                "no audio output for " + file_ + " (" + pipeline->error() +
                    "); the next file tries again",
                {{"FILE", file_}});
            return FailOpen(OpenFailure::kNoAudioOutput, "no audio output: " + pipeline->error());
        case Pipeline::Outcome::kTimedOut:
            Log(LogLevel::kWarning, "player",
                file_ + " did not open within " + std::to_string(options_.openTimeout.count()) +
                    " ms",
                {{"FILE", file_}});
            return FailOpen(
                OpenFailure::kFile,
                "did not open within " + std::to_string(options_.openTimeout.count()) + " ms");
        case Pipeline::Outcome::kUnplayable:
            return FailOpen(OpenFailure::kFile, pipeline->error().empty()
                                                    ? "the file cannot be played"
                                                    : pipeline->error());
    }
    pipeline->ShowOn(surface_);
    volume_ = kNormalPlayerVolume;  // each file starts at unity gain
    active_ = std::move(pipeline);
    return true;
}

void GstMediaPlayer::Close() {
    active_.reset();
}

void GstMediaPlayer::Play() {
    if (active_) {
        active_->Play();
    }
}

bool GstMediaPlayer::ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds) {
    // The output needs no more lead than the new preroll: the sinks wait for the moment.
    return active_ && active_->StartAt(dueMs * gst::kNsPerMs);
}

void GstMediaPlayer::CancelScheduledStart() {
    if (active_) {
        active_->Seek(0);  // paused, shifted back, and prerolled at the start again
    }
}

std::optional<std::int64_t> GstMediaPlayer::ScheduledStartLateness() {
    return active_ ? active_->StartLatenessMs() : std::nullopt;
}

std::optional<SoundLevel> GstMediaPlayer::TakeStartLevel() {
    std::optional<SoundLevel> level = active_ ? active_->TakeStartLevel() : std::nullopt;
    if (level && options_.outputSilence) {
        level = Silenced(*level, options_.outputSilence());
    }
    return level;
}

void GstMediaPlayer::Stop() {
    if (active_) {
        active_->Pause();
    }
}

void GstMediaPlayer::Seek(std::int64_t positionMs) {
    if (active_) {
        active_->Seek(positionMs);
    }
}

std::int64_t GstMediaPlayer::GetPosition() {
    return active_ ? active_->Position(options_.stallLimit) : 0;
}

std::int64_t GstMediaPlayer::GetLength() {
    return active_ ? active_->Length() : 0;
}

void GstMediaPlayer::SetVolume(int volume) {
    if (!active_) {
        return;
    }
    active_->SetVolume(volume);
    volume_ = active_->volume();
}

void GstMediaPlayer::ShowMaximized() {
    if (active_) {
        active_->ShowPictures();
    }
}

}  // namespace chimeon
