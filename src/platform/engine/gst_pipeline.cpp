#include "platform/engine/gst_pipeline.h"

#include <gst/audio/streamvolume.h>
#include <gst/video/video.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <mutex>
#include <string>

#include "core/system/log.h"
#include "platform/engine/gst_level.h"

namespace chimeon::gst {

// The level element's reports, gathered on the streaming thread that posts them.
struct LevelTap {
    std::mutex mutex;
    SoundLevelMeter meter;
};

namespace {

// playbin's flags: video, audio and software volume; no subtitles or visualisations.
constexpr guint kPlayFlagVideo = 0x1;
constexpr guint kPlayFlagAudio = 0x2;
constexpr guint kPlayFlagSoftVolume = 0x10;

// The bytes of a file less its ID3 tags (an ID3v2 block in front, an ID3v1 tag at the end).
std::int64_t AudioBytes(const std::string& path, std::int64_t size) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[10] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) {
        return size;
    }
    std::int64_t bytes = size;
    if (head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
        std::int64_t tagSize = (head[6] & 0x7f) << 21 | (head[7] & 0x7f) << 14 |
                               (head[8] & 0x7f) << 7 | (head[9] & 0x7f);
        bytes -= 10 + tagSize;
    }
    char tail[3] = {};
    if (size >= 128 && in.seekg(size - 128) && in.read(tail, 3) && tail[0] == 'T' &&
        tail[1] == 'A' && tail[2] == 'G') {
        bytes -= 128;
    }
    return bytes;
}

// A broken picture in a video decoder drops frames instead of stopping the whole file, so the
// sound of a video with a damaged stream goes on.
void OnElementSetup(GstElement*, GstElement* element, gpointer) {
    if (GST_IS_VIDEO_DECODER(element) &&
        g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-errors") != nullptr) {
        g_object_set(element, "max-errors", -1, nullptr);
    }
}

// Keeps only the messages the player reads, so a bus nobody polls for a while stays small. A
// dropped message is the handler's to release: each one holds its source element, and with it
// the whole pipeline, its sound-server connection and its descriptors.
void ReadLevel(GstMessage* message, LevelTap& tap) {
    const std::lock_guard lock(tap.mutex);
    AddLevelReport(message, tap.meter);
}

GstBusSyncReply FilterMessages(GstBus*, GstMessage* message, gpointer data) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_ASYNC_DONE:
        case GST_MESSAGE_DURATION_CHANGED:
            return GST_BUS_PASS;
        case GST_MESSAGE_ELEMENT:
            ReadLevel(message, **static_cast<std::shared_ptr<LevelTap>*>(data));
            gst_message_unref(message);
            return GST_BUS_DROP;
        default:
            gst_message_unref(message);
            return GST_BUS_DROP;
    }
}

void TearDownAsync(GstElement* element, gpointer) {
    gst_element_set_state(element, GST_STATE_NULL);
}

// The system's clock on CLOCK_REALTIME, the clock the due moments are given on. A clock of our
// own: the shared system clock's type is left as others expect it.
GstClock* RealtimeClock() {
    static GstClock* const clock = [] {
        auto* made = static_cast<GstClock*>(
            g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_REALTIME, nullptr));
        gst_object_ref_sink(made);
        return made;
    }();
    return clock;
}

// Less than this before the due moment, a start is not scheduled: the wait for the new preroll
// and the sink's first write would not fit.
constexpr std::int64_t kLeastScheduleNs = 20 * kNsPerMs;

}  // namespace

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return stamp;
    }
    stamp.regular = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

bool LooksPlayable(const FileStamp& stamp, const std::string& path) {
    return stamp.regular && stamp.size > 0 && access(path.c_str(), R_OK) == 0;
}

std::unique_ptr<Pipeline> Pipeline::Start(const std::string& path, ObjectPtr<GstElement> audioSink,
                                          ObjectPtr<GstElement> videoSink,
                                          std::shared_ptr<VideoTap> tap, bool forSurface) {
    std::unique_ptr<Pipeline> pipeline(new Pipeline());
    pipeline->path_ = path;
    pipeline->stamp_ = StampOf(path);
    pipeline->forSurface_ = forSurface;
    pipeline->audioSink_ = std::move(audioSink);
    pipeline->tap_ = std::move(tap);
    pipeline->playbin_ = AdoptFloating(gst_element_factory_make("playbin", nullptr));
    GstElement* playbin = pipeline->playbin_.get();
    if (playbin == nullptr) {
        Log(LogLevel::kError, "player",
            "media playback unavailable: GStreamer's playbin is missing");
        return nullptr;
    }
    GError* rawError = nullptr;
    CharPtr uri(gst_filename_to_uri(path.c_str(), &rawError));
    ErrorPtr uriError(rawError);
    if (!uri) {
        return nullptr;
    }
    g_object_set(playbin, "uri", uri.get(), "audio-sink", pipeline->audioSink_.get(), "flags",
                 kPlayFlagVideo | kPlayFlagAudio | kPlayFlagSoftVolume, "volume", 1.0, nullptr);
    if (videoSink) {
        g_object_set(playbin, "video-sink", videoSink.get(), nullptr);
    }
    g_signal_connect(playbin, "element-setup", G_CALLBACK(OnElementSetup), nullptr);
    pipeline->bus_ = AdoptFull(gst_element_get_bus(playbin));
    pipeline->level_ = std::make_shared<LevelTap>();
    gst_bus_set_sync_handler(
        pipeline->bus_.get(), FilterMessages, new std::shared_ptr<LevelTap>(pipeline->level_),
        [](gpointer data) { delete static_cast<std::shared_ptr<LevelTap>*>(data); });

    if (gst_element_set_state(playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        // The reason is on the bus; without one, the file is simply unplayable.
        MessagePtr message(gst_bus_pop_filtered(pipeline->bus_.get(), GST_MESSAGE_ERROR));
        if (message) {
            pipeline->Fail(message.get());
        } else {
            pipeline->settled_ = true;
            pipeline->outcome_ = Outcome::kUnplayable;
            pipeline->state_ = State::kFailed;
        }
    }
    return pipeline;
}

Pipeline::~Pipeline() {
    if (tap_) {
        tap_->Detach();
    }
    if (!playbin_) {
        return;
    }
    if (settled_ && !releaseInBackground_) {
        gst_element_set_state(playbin_.get(), GST_STATE_NULL);
        return;
    }
    GstElement* element = playbin_.release();
    gst_element_call_async(element, TearDownAsync, element, gst_object_unref);
}

bool Pipeline::IsFor(const std::string& path, const FileStamp& stamp, bool forSurface) const {
    return path_ == path && stamp_ == stamp && forSurface_ == forSurface;
}

Pipeline::Outcome Pipeline::WaitPrerolled(Clock::time_point deadline) {
    while (!settled_) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Outcome::kTimedOut;
        }
        MessagePtr message(gst_bus_timed_pop_filtered(
            bus_.get(), static_cast<GstClockTime>(left.count()),
            static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR)));
        if (!message) {
            continue;
        }
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
            Fail(message.get());
        } else {
            settled_ = true;
        }
    }
    if (state_ != State::kPrerolling) {
        return outcome_;  // asked before: it has moved on since
    }
    gint audio = 0;
    gint video = 0;
    g_object_get(playbin_.get(), "n-audio", &audio, "n-video", &video, nullptr);
    if (audio + video == 0) {
        outcome_ = Outcome::kUnplayable;
        error_ = "no audio or video stream";
        state_ = State::kFailed;
        return outcome_;
    }
    QueryDuration();
    if (durationMs_ <= 0) {
        EstimateDuration();
    }
    state_ = State::kPrepared;
    return outcome_;
}

bool Pipeline::RenewOutput(Clock::time_point deadline) {
    if (!audioSink_ || state_ != State::kPrepared) {
        return false;
    }
    RestartLevel();
    if (gst_element_set_state(audioSink_.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE ||
        gst_element_set_state(audioSink_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
        !gst_element_seek_simple(
            playbin_.get(), GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0)) {
        return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    return left.count() > 0 && gst_element_get_state(playbin_.get(), nullptr, nullptr,
                                                     static_cast<GstClockTime>(left.count())) ==
                                   GST_STATE_CHANGE_SUCCESS;
}

void Pipeline::ShowOn(VideoOutput* surface) {
    if (tap_) {
        tap_->Set(surface);
    }
}

void Pipeline::ShowPictures() {
    if (tap_) {
        tap_->Show();
    }
}

void Pipeline::Play() {
    Poll();
    if (state_ != State::kPrepared && state_ != State::kPlaying) {
        return;
    }
    if (prerolledVolume_ != volume_) {
        SeekPaused(QueryPosition());
    }
    gst_element_set_state(playbin_.get(), GST_STATE_PLAYING);
    atStart_ = false;
    state_ = State::kPlaying;
    levelPlaying_ = true;
    progressPositionMs_ = -1;  // the stall watch starts afresh
}

bool Pipeline::StartAt(std::int64_t dueNs) {
    Poll();
    if (state_ != State::kPrepared) {
        return false;
    }
    GstElement* playbin = playbin_.get();
    GstClock* clock = RealtimeClock();
    gst_pipeline_use_clock(GST_PIPELINE(playbin), clock);
    gst_element_set_start_time(playbin, GST_CLOCK_TIME_NONE);
    const auto base = static_cast<std::int64_t>(gst_clock_get_time(clock));
    if (dueNs - base < kLeastScheduleNs) {
        SeekPaused(0);
        return false;
    }
    SetSinkOffsets(dueNs - base);
    startedAt_ = true;
    dueNs_ = dueNs;
    // What was prerolled went through without the shift: preroll it again.
    RestartLevel();
    gst_element_seek_simple(playbin, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            0);
    const std::int64_t waitNs = dueNs - base - kLeastScheduleNs;
    if (gst_element_get_state(playbin, nullptr, nullptr, static_cast<GstClockTime>(waitNs)) !=
            GST_STATE_CHANGE_SUCCESS ||
        dueNs - static_cast<std::int64_t>(gst_clock_get_time(clock)) < kLeastScheduleNs / 2) {
        SeekPaused(0);
        return false;
    }
    gst_element_set_base_time(playbin, static_cast<GstClockTime>(base));
    prerolledVolume_ = volume_;
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    atStart_ = false;
    state_ = State::kPlaying;
    levelPlaying_ = true;
    progressPositionMs_ = -1;
    return true;
}

std::optional<std::int64_t> Pipeline::StartLatenessMs() {
    gint64 position = 0;
    if (!startedAt_ || state_ != State::kPlaying ||
        !gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &position) || position < 0) {
        return std::nullopt;
    }
    const auto now = static_cast<std::int64_t>(gst_clock_get_time(RealtimeClock()));
    const std::int64_t lateNs = now - dueNs_ - position;
    return (lateNs + (lateNs >= 0 ? kNsPerMs / 2 : -kNsPerMs / 2)) / kNsPerMs;
}

void Pipeline::SetSinkOffsets(std::int64_t offsetNs) {
    GstElement* videoSink = nullptr;
    g_object_get(playbin_.get(), "video-sink", &videoSink, nullptr);
    ObjectPtr<GstElement> video = AdoptFull(videoSink);
    for (GstElement* sink : {audioSink_.get(), video.get()}) {
        if (sink == nullptr) {
            continue;
        }
        if (GstPad* pad = gst_element_get_static_pad(sink, "sink")) {
            gst_pad_set_offset(pad, offsetNs);
            gst_object_unref(pad);
        }
    }
}

void Pipeline::RestartLevel() {
    const std::lock_guard lock(level_->mutex);
    level_->meter.Reset();
    levelPlaying_ = false;
    levelTaken_ = false;
}

void Pipeline::OutputGain(double* gain, bool* muted) const {
    *gain = 1.0;
    *muted = false;
    GstElement* sink = audioSink_.get();
    ObjectPtr<GstElement> inside;
    if (sink != nullptr && !GST_IS_STREAM_VOLUME(sink) && GST_IS_BIN(sink)) {
        inside = AdoptFull(gst_bin_get_by_interface(GST_BIN(sink), GST_TYPE_STREAM_VOLUME));
        sink = inside.get();
    }
    // Our own volume element sits before the level element: what it does is measured.
    if (sink == nullptr || !GST_IS_STREAM_VOLUME(sink) ||
        g_str_has_prefix(GST_OBJECT_NAME(sink), "chimeon-volume")) {
        return;
    }
    *gain = gst_stream_volume_get_volume(GST_STREAM_VOLUME(sink), GST_STREAM_VOLUME_FORMAT_LINEAR);
    *muted = gst_stream_volume_get_mute(GST_STREAM_VOLUME(sink)) == TRUE;
}

std::optional<SoundLevel> Pipeline::TakeStartLevel() {
    Poll();
    if (!levelPlaying_ || levelTaken_) {
        return std::nullopt;
    }
    std::optional<SoundLevel> level;
    {
        const std::lock_guard lock(level_->mutex);
        if (!level_->meter.Complete() && !Ended()) {
            return std::nullopt;
        }
        double gain = 1.0;
        bool muted = false;
        OutputGain(&gain, &muted);
        level = level_->meter.Result(gain, muted);
    }
    levelTaken_ = true;
    return level;
}

void Pipeline::Pause() {
    Poll();
    if (state_ == State::kPrerolling || state_ == State::kFailed) {
        return;
    }
    if (startedAt_) {
        // Let the pipeline keep its running time over the pause again, so a later Play goes on.
        gst_element_set_start_time(playbin_.get(), 0);
    }
    gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
    if (state_ == State::kPlaying) {
        state_ = State::kPrepared;
    }
}

void Pipeline::Seek(std::int64_t positionMs) {
    Poll();
    if (state_ == State::kPrerolling || state_ == State::kFailed) {
        return;
    }
    positionMs = std::max<std::int64_t>(positionMs, 0);
    if (durationMs_ > 0) {
        positionMs = std::min(positionMs, durationMs_);
    }
    if (positionMs == 0 && atStart_ && state_ == State::kPrepared && prerolledVolume_ == volume_) {
        return;  // prerolled at the start already; a flush would only delay the first sound
    }
    SeekPaused(positionMs);
}

void Pipeline::SeekPaused(std::int64_t positionMs) {
    gst_element_set_state(playbin_.get(), GST_STATE_PAUSED);
    if (startedAt_) {
        // From here on it plays as any other: from running time 0 when it plays.
        SetSinkOffsets(0);
        gst_element_set_start_time(playbin_.get(), 0);
        startedAt_ = false;
    }
    if (positionMs == 0) {
        RestartLevel();
    }
    gst_element_seek_simple(playbin_.get(), GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            positionMs * kNsPerMs);
    lastPositionMs_ = positionMs;
    atStart_ = positionMs == 0;
    prerolledVolume_ = volume_;
    state_ = State::kPrepared;
}

void Pipeline::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, kNormalPlayerVolume);
    if (state_ == State::kPlaying) {
        prerolledVolume_ = volume_;  // what is still to come passes the new volume
    }
    g_object_set(playbin_.get(), "volume", static_cast<double>(volume_) / kNormalPlayerVolume,
                 nullptr);
}

std::int64_t Pipeline::Position(std::chrono::milliseconds stallLimit) {
    Poll();
    if (Ended()) {
        return endMs_;
    }
    std::int64_t position = QueryPosition();
    if (state_ == State::kPlaying) {
        auto now = Clock::now();
        if (position != progressPositionMs_) {
            progressPositionMs_ = position;
            progressAt_ = now;
        } else if (now - progressAt_ >= stallLimit) {
            Log(LogLevel::kWarning, "player",
                "playback of " + path_ + " has not moved from " + std::to_string(position) +
                    " ms for " + std::to_string(stallLimit.count()) + " ms; taken as its end",
                {{"FILE", path_}});
            MarkEnded();
            return endMs_;
        }
    }
    if (estimated_ && position >= durationMs_) {
        QueryDuration();
    }
    // Until the end is seen, the position stays short of the length: a file must never look
    // finished while its last sound is still on its way.
    std::int64_t limit = durationMs_ > 0 ? durationMs_ : lengthGivenMs_;
    if (limit > 0 && position >= limit) {
        position = limit - 1;
    }
    return position;
}

std::int64_t Pipeline::Length() {
    Poll();
    if (Ended()) {
        return endMs_;
    }
    if (durationMs_ <= 0 || estimated_) {
        QueryDuration();
    }
    if (durationMs_ > 0) {
        return durationMs_;
    }
    // Length not known yet: always a little ahead of the position.
    lengthGivenMs_ = std::max(QueryPosition() + 1, lengthGivenMs_);
    return lengthGivenMs_;
}

void Pipeline::Poll() {
    if (state_ == State::kPrerolling) {
        return;  // WaitPrerolled reads its bus
    }
    while (MessagePtr message{gst_bus_pop(bus_.get())}) {
        switch (GST_MESSAGE_TYPE(message.get())) {
            case GST_MESSAGE_EOS:
                MarkEnded();
                break;
            case GST_MESSAGE_ERROR:
                if (!Ended()) {
                    Log(LogLevel::kError, "player",
                        "playback of " + path_ +
                            " ended by an error: " + DescribeError(message.get()),
                        {{"FILE", path_}});
                    MarkEnded();
                }
                state_ = State::kFailed;
                gst_element_set_state(playbin_.get(), GST_STATE_NULL);
                break;
            case GST_MESSAGE_DURATION_CHANGED:
                QueryDuration();
                break;
            default:
                break;
        }
    }
}

void Pipeline::QueryDuration() {
    gint64 duration = 0;
    if (gst_element_query_duration(playbin_.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
        durationMs_ = duration / kNsPerMs;
        estimated_ = false;
    }
}

void Pipeline::EstimateDuration() {
    GstTagList* rawTags = nullptr;
    g_signal_emit_by_name(playbin_.get(), "get-audio-tags", 0, &rawTags);
    if (rawTags == nullptr) {
        return;
    }
    guint bitrate = 0;
    if (!gst_tag_list_get_uint(rawTags, GST_TAG_NOMINAL_BITRATE, &bitrate) || bitrate == 0) {
        gst_tag_list_get_uint(rawTags, GST_TAG_BITRATE, &bitrate);
    }
    gst_tag_list_unref(rawTags);
    std::int64_t audioBytes = AudioBytes(path_, stamp_.size);
    if (bitrate == 0 || audioBytes <= 0) {
        return;
    }
    durationMs_ = audioBytes * 8 * 1000 / bitrate;
    estimated_ = true;
}

std::int64_t Pipeline::QueryPosition() {
    gint64 position = 0;
    if (gst_element_query_position(playbin_.get(), GST_FORMAT_TIME, &position) && position >= 0) {
        lastPositionMs_ = position / kNsPerMs;
    }
    return lastPositionMs_;
}

void Pipeline::MarkEnded() {
    if (Ended()) {
        return;
    }
    QueryDuration();
    endMs_ = durationMs_ > 0 ? durationMs_ : std::max(QueryPosition(), lengthGivenMs_);
    state_ = State::kEnded;
}

void Pipeline::Fail(GstMessage* message) {
    settled_ = true;
    error_ = DescribeError(message);
    bool fromOutput = audioSink_ && gst_object_has_as_ancestor(GST_MESSAGE_SRC(message),
                                                               GST_OBJECT(audioSink_.get()));
    outcome_ = fromOutput ? Outcome::kNoOutput : Outcome::kUnplayable;
    state_ = State::kFailed;
}

}  // namespace chimeon::gst
