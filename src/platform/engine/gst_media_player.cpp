#include "platform/engine/gst_media_player.h"

#include <gst/gst.h>

#include <algorithm>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/engine/gst_handles.h"
#include "platform/engine/gst_pipeline.h"
#include "platform/engine/gst_sink_probe.h"
#include "platform/engine/gst_video_tap.h"

namespace chimeon {

bool EnsureGStreamer() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        GError* raw = nullptr;
        ready = gst_init_check(nullptr, nullptr, &raw) == TRUE;
        gst::ErrorPtr error(raw);
        if (!ready) {
            std::cerr << "chimeon: media playback unavailable: "
                      << (error ? gst::ToString(error->message) : "GStreamer did not start")
                      << "\n";
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
    if (active_ && active_->tap) {
        active_->tap->Set(surface_);
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
    gst::ObjectPtr<GstElement> audioSink = gst::FirstReadyAudioSink(candidates, &reasons);
    if (!audioSink) {
        *outputMissing = true;
        lastOutputError_ = reasons;
        return nullptr;
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
    auto pipeline =
        Pipeline::Start(path, std::move(audioSink), std::move(videoSink), std::move(tap));
    if (pipeline) {
        pipeline->withSurface = surface_ != nullptr;
    }
    return pipeline;
}

void GstMediaPlayer::DiscardPrepared() {
    prepared_.reset();
}

void GstMediaPlayer::Prepare(std::string_view path) {
    std::string wanted(path);
    gst::FileStamp stamp = gst::StampOf(wanted);
    if (prepared_ && prepared_->path == wanted && prepared_->stamp == stamp &&
        prepared_->withSurface == (surface_ != nullptr)) {
        return;
    }
    DiscardPrepared();
    if (!gst::LooksPlayable(stamp, wanted)) {
        return;
    }
    bool outputMissing = false;
    prepared_ = StartPipeline(wanted, &outputMissing);
    if (prepared_) {
        prepared_->releaseAsync = true;  // never let its teardown delay an Open
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
        if (prepared_ && prepared_->path == file_) {
            DiscardPrepared();
        }
        return FailOpen(OpenFailure::kFile, "not a readable, non-empty regular file");
    }

    std::unique_ptr<Pipeline> pipeline;
    Pipeline::Outcome outcome = Pipeline::Outcome::kUnplayable;
    if (prepared_ && prepared_->path == file_ && prepared_->stamp == stamp &&
        prepared_->withSurface == (surface_ != nullptr)) {
        pipeline = std::move(prepared_);
        pipeline->releaseAsync = false;
        outcome = pipeline->WaitPrerolled(deadline);
        if (outcome == Pipeline::Outcome::kReady && !pipeline->RenewOutput(deadline)) {
            pipeline->releaseAsync = true;
            pipeline.reset();  // opened afresh below
        } else if (outcome == Pipeline::Outcome::kNoOutput) {
            pipeline.reset();  // the output may have come up since: try it afresh
        }
    } else if (prepared_ && prepared_->path == file_) {
        DiscardPrepared();
    }
    if (!pipeline) {
        bool outputMissing = false;
        pipeline = StartPipeline(file_, &outputMissing);
        if (!pipeline) {
            if (outputMissing) {
                std::cerr << "chimeon: no audio output for " << file_ << " (" << lastOutputError_
                          << "); the next file tries again\n";
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
            std::cerr << "chimeon: no audio output for " << file_ << " (" << pipeline->error
                      << "); the next file tries again\n";
            return FailOpen(OpenFailure::kNoAudioOutput, "no audio output: " + pipeline->error);
        case Pipeline::Outcome::kTimedOut:
            std::cerr << "chimeon: " << file_ << " did not open within "
                      << options_.openTimeout.count() << " ms\n";
            return FailOpen(
                OpenFailure::kFile,
                "did not open within " + std::to_string(options_.openTimeout.count()) + " ms");
        case Pipeline::Outcome::kUnplayable:
            return FailOpen(OpenFailure::kFile, pipeline->error.empty()
                                                    ? "the file cannot be played"
                                                    : pipeline->error);
    }
    if (pipeline->tap) {
        pipeline->tap->Set(surface_);
    }
    g_object_set(pipeline->playbin.get(), "volume", 1.0, nullptr);
    volume_ = kNormalPlayerVolume;
    active_ = std::move(pipeline);
    return true;
}

void GstMediaPlayer::Close() {
    active_.reset();
}

void GstMediaPlayer::Play() {
    if (!active_) {
        return;
    }
    active_->Poll();
    if (active_->ended || active_->broken) {
        return;
    }
    if (active_->prerolledVolume != volume_) {
        SeekPipeline(*active_, active_->QueryPosition());
    }
    gst_element_set_state(active_->playbin.get(), GST_STATE_PLAYING);
    active_->atStart = false;
    active_->playing = true;
    active_->progressPositionMs = -1;  // the stall watch starts afresh
}

void GstMediaPlayer::Stop() {
    if (!active_) {
        return;
    }
    active_->Poll();
    if (active_->broken) {
        return;
    }
    gst_element_set_state(active_->playbin.get(), GST_STATE_PAUSED);
    active_->playing = false;
}

void GstMediaPlayer::Seek(std::int64_t positionMs) {
    if (!active_) {
        return;
    }
    Pipeline& pipeline = *active_;
    pipeline.Poll();
    if (pipeline.broken) {
        return;
    }
    positionMs = std::max<std::int64_t>(positionMs, 0);
    if (pipeline.durationMs > 0) {
        positionMs = std::min(positionMs, pipeline.durationMs);
    }
    if (positionMs == 0 && pipeline.atStart && !pipeline.ended &&
        pipeline.prerolledVolume == volume_) {
        return;  // prerolled at the start already; a flush would only delay the first sound
    }
    SeekPipeline(pipeline, positionMs);
}

// The first buffer waiting in a paused sink already went through the volume in force when it
// was prerolled; a flushing seek prerolls it again at the volume now set.
void GstMediaPlayer::SeekPipeline(Pipeline& pipeline, std::int64_t positionMs) {
    gst_element_set_state(pipeline.playbin.get(), GST_STATE_PAUSED);
    gst_element_seek_simple(pipeline.playbin.get(), GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            positionMs * gst::kNsPerMs);
    pipeline.ended = false;
    pipeline.lastPositionMs = positionMs;
    pipeline.atStart = positionMs == 0;
    pipeline.prerolledVolume = volume_;
    pipeline.playing = false;
}

bool GstMediaPlayer::WatchForStall(Pipeline& pipeline, std::int64_t position) {
    auto now = gst::Clock::now();
    if (position != pipeline.progressPositionMs) {
        pipeline.progressPositionMs = position;
        pipeline.progressAt = now;
        return false;
    }
    if (now - pipeline.progressAt < options_.stallLimit) {
        return false;
    }
    std::cerr << "chimeon: playback of " << pipeline.path << " has not moved from " << position
              << " ms for " << options_.stallLimit.count() << " ms; taken as its end\n";
    pipeline.MarkEnded();
    return true;
}

std::int64_t GstMediaPlayer::GetPosition() {
    if (!active_) {
        return 0;
    }
    Pipeline& pipeline = *active_;
    pipeline.Poll();
    if (pipeline.ended) {
        return pipeline.endMs;
    }
    std::int64_t position = pipeline.QueryPosition();
    if (pipeline.playing && WatchForStall(pipeline, position)) {
        return pipeline.endMs;
    }
    if (pipeline.estimated && position >= pipeline.durationMs) {
        pipeline.QueryDuration();
    }
    // Until the end is seen, the position stays short of the length: a file must never look
    // finished while its last sound is still on its way.
    std::int64_t limit = pipeline.durationMs > 0 ? pipeline.durationMs : pipeline.lengthGivenMs;
    if (limit > 0 && position >= limit) {
        position = limit - 1;
    }
    return position;
}

std::int64_t GstMediaPlayer::GetLength() {
    if (!active_) {
        return 0;
    }
    Pipeline& pipeline = *active_;
    pipeline.Poll();
    if (pipeline.ended) {
        return pipeline.endMs;
    }
    if (pipeline.durationMs <= 0 || pipeline.estimated) {
        pipeline.QueryDuration();
    }
    if (pipeline.durationMs > 0) {
        return pipeline.durationMs;
    }
    // Length not known yet: always a little ahead of the position.
    pipeline.lengthGivenMs = std::max(pipeline.QueryPosition() + 1, pipeline.lengthGivenMs);
    return pipeline.lengthGivenMs;
}

void GstMediaPlayer::SetVolume(int volume) {
    if (!active_) {
        return;
    }
    volume_ = std::clamp(volume, 0, kNormalPlayerVolume);
    if (active_->playing) {
        active_->prerolledVolume = volume_;  // what is still to come passes the new volume
    }
    g_object_set(active_->playbin.get(), "volume",
                 static_cast<double>(volume_) / kNormalPlayerVolume, nullptr);
}

void GstMediaPlayer::ShowMaximized() {
    if (active_ && active_->tap) {
        active_->tap->Show();
    }
}

}  // namespace chimeon
