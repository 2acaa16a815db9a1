#include "platform/engine/gst_media_player.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/streamvolume.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/engine/gst_handles.h"
#include "platform/engine/video_output.h"

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

namespace gst {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kNsPerMs = 1000000;

// playbin's flags: video, audio and software volume; no subtitles or visualisations.
constexpr guint kPlayFlagVideo = 0x1;
constexpr guint kPlayFlagAudio = 0x2;
constexpr guint kPlayFlagSoftVolume = 0x10;

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

// A regular, non-empty file that can be opened for reading. Anything else (a folder, a device,
// a pipe that would block the open) is refused before GStreamer sees it.
bool LooksPlayable(const FileStamp& stamp, const std::string& path) {
    return stamp.regular && stamp.size > 0 && access(path.c_str(), R_OK) == 0;
}

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

// The video route of one pipeline: which surface gets its pictures, and whether it is shown.
struct VideoTap {
    std::mutex mutex;
    VideoOutput* output = nullptr;
    bool shown = false;

    void Set(VideoOutput* newOutput) {
        std::lock_guard lock(mutex);
        if (output != newOutput && output != nullptr && shown) {
            output->Clear();
        }
        output = newOutput;
    }
    void Show() {
        std::lock_guard lock(mutex);
        shown = true;
    }
    void Detach() {
        std::lock_guard lock(mutex);
        if (output != nullptr && shown) {
            output->Clear();
        }
        output = nullptr;
        shown = false;
    }
};

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
    VideoTap& tap = **static_cast<std::shared_ptr<VideoTap>*>(data);
    SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) {
        return GST_FLOW_OK;
    }
    std::lock_guard lock(tap.mutex);
    if (tap.output == nullptr || !tap.shown) {
        return GST_FLOW_OK;
    }
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample.get());
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    if (caps == nullptr || buffer == nullptr || !gst_video_info_from_caps(&info, caps)) {
        return GST_FLOW_OK;
    }
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
        return GST_FLOW_OK;
    }
    VideoFrame frame;
    frame.width = GST_VIDEO_FRAME_WIDTH(&mapped);
    frame.height = GST_VIDEO_FRAME_HEIGHT(&mapped);
    frame.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0);
    frame.data = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
    tap.output->Present(frame);
    gst_video_frame_unmap(&mapped);
    return GST_FLOW_OK;
}

void DeleteTapRef(gpointer data) {
    delete static_cast<std::shared_ptr<VideoTap>*>(data);
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
GstBusSyncReply FilterMessages(GstBus*, GstMessage* message, gpointer) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_ASYNC_DONE:
        case GST_MESSAGE_DURATION_CHANGED:
            return GST_BUS_PASS;
        default:
            gst_message_unref(message);
            return GST_BUS_DROP;
    }
}

void TearDownAsync(GstElement* element, gpointer) {
    gst_element_set_state(element, GST_STATE_NULL);
}

ObjectPtr<GstElement> ParseSink(const std::string& description, std::string* reason) {
    GError* raw = nullptr;
    GstElement* made = gst_parse_bin_from_description(description.c_str(), TRUE, &raw);
    ErrorPtr error(raw);
    if (made == nullptr) {
        *reason = description + ": " + (error ? ToString(error->message) : "cannot be made");
    }
    return AdoptFloating(made);
}

bool HasStreamVolume(GstElement* sink) {
    return GST_IS_STREAM_VOLUME(sink) ||
           (GST_IS_BIN(sink) &&
            AdoptFull(gst_bin_get_by_interface(GST_BIN(sink), GST_TYPE_STREAM_VOLUME)) != nullptr);
}

// A sink element from a description, checked by opening its device (connecting to the sound
// server). Null with `reason` set when the output is not there.
//
// `withVolume`: playbin's own software volume element is never released (GStreamer 1.22 loses
// one with its pads at every file), so an audio sink without a volume of its own (ALSA, the
// tests' sinks) gets one of ours in front, which playbin then uses and releases.
ObjectPtr<GstElement> MakeReadySink(const std::string& description, std::string* reason,
                                    bool withVolume = false) {
    ObjectPtr<GstElement> sink = ParseSink(description, reason);
    if (sink && withVolume && !HasStreamVolume(sink.get())) {
        sink = ParseSink("volume ! " + description, reason);
    }
    if (!sink) {
        return nullptr;
    }
    ObjectPtr<GstBus> bus = AdoptFull(gst_bus_new());
    gst_element_set_bus(sink.get(), bus.get());
    GstStateChangeReturn result = gst_element_set_state(sink.get(), GST_STATE_READY);
    if (result == GST_STATE_CHANGE_FAILURE) {
        *reason = description + ": cannot be opened";
        MessagePtr message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
        if (message) {
            *reason = description + ": " + DescribeError(message.get());
        }
    }
    gst_element_set_state(sink.get(), GST_STATE_NULL);
    gst_element_set_bus(sink.get(), nullptr);
    if (result == GST_STATE_CHANGE_FAILURE) {
        return nullptr;
    }
    return sink;
}

}  // namespace

// One playbin with one file, and what the player has learnt about it.
class Pipeline {
public:
    enum class Outcome { kReady, kUnplayable, kNoOutput, kTimedOut };

    ~Pipeline() {
        if (tap) {
            tap->Detach();
        }
        if (!playbin) {
            return;
        }
        if (settled && !releaseAsync) {
            gst_element_set_state(playbin.get(), GST_STATE_NULL);
            return;
        }
        // Still prerolling, possibly stuck inside a demuxer: stopping it could block, so it is
        // stopped and released on one of GStreamer's own threads.
        GstElement* element = playbin.release();
        gst_element_call_async(element, TearDownAsync, element, gst_object_unref);
    }

    // Waits until the file is prerolled (paused at its start), found unplayable, or the
    // deadline passed.
    Outcome WaitPrerolled(Clock::time_point deadline) {
        while (!settled) {
            auto left =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return Outcome::kTimedOut;
            }
            MessagePtr message(gst_bus_timed_pop_filtered(
                bus.get(), static_cast<GstClockTime>(left.count()),
                static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR)));
            if (!message) {
                continue;
            }
            if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
                Fail(message.get());
            } else {
                settled = true;
            }
        }
        if (outcome == Outcome::kReady) {
            gint audio = 0;
            gint video = 0;
            g_object_get(playbin.get(), "n-audio", &audio, "n-video", &video, nullptr);
            if (audio + video == 0) {
                outcome = Outcome::kUnplayable;
                error = "no audio or video stream";
            } else {
                QueryDuration();
                if (durationMs <= 0) {
                    EstimateDuration();
                }
            }
        }
        return outcome;
    }

    // A sound-server stream that sat paused for seconds starts late (its clock ran on while
    // no sample was played: about 100 ms on PulseAudio). Before a prepared file plays, its
    // audio sink therefore gives up that stream and prerolls into a fresh one; the decoders
    // stay as they are, so this takes a millisecond or two.
    bool RenewOutput(Clock::time_point deadline) {
        if (!audioSink) {
            return false;
        }
        if (gst_element_set_state(audioSink.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE ||
            gst_element_set_state(audioSink.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
            !gst_element_seek_simple(
                playbin.get(), GST_FORMAT_TIME,
                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0)) {
            return false;
        }
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        return left.count() > 0 && gst_element_get_state(playbin.get(), nullptr, nullptr,
                                                         static_cast<GstClockTime>(left.count())) ==
                                       GST_STATE_CHANGE_SUCCESS;
    }

    // Reads what the bus has gathered since the last call: the end of the file and errors.
    void Poll() {
        while (MessagePtr message{gst_bus_pop(bus.get())}) {
            switch (GST_MESSAGE_TYPE(message.get())) {
                case GST_MESSAGE_EOS:
                    MarkEnded();
                    break;
                case GST_MESSAGE_ERROR:
                    if (!ended) {
                        std::cerr << "chimeon: playback of " << path
                                  << " ended by an error: " << DescribeError(message.get()) << "\n";
                        MarkEnded();
                    }
                    broken = true;
                    gst_element_set_state(playbin.get(), GST_STATE_NULL);
                    break;
                case GST_MESSAGE_DURATION_CHANGED:
                    QueryDuration();
                    break;
                default:
                    break;
            }
        }
    }

    void QueryDuration() {
        gint64 duration = 0;
        if (gst_element_query_duration(playbin.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
            durationMs = duration / kNsPerMs;
            estimated = false;
        }
    }

    // A constant-bitrate MP3 without a frame index tells its duration only after a good part
    // of it was parsed. Until then the length is worked out from the bitrate of the frames
    // prerolled and the size of the audio data, so that it is right from the start.
    void EstimateDuration() {
        GstTagList* rawTags = nullptr;
        g_signal_emit_by_name(playbin.get(), "get-audio-tags", 0, &rawTags);
        if (rawTags == nullptr) {
            return;
        }
        guint bitrate = 0;
        if (!gst_tag_list_get_uint(rawTags, GST_TAG_NOMINAL_BITRATE, &bitrate) || bitrate == 0) {
            gst_tag_list_get_uint(rawTags, GST_TAG_BITRATE, &bitrate);
        }
        gst_tag_list_unref(rawTags);
        std::int64_t audioBytes = AudioBytes(path, stamp.size);
        if (bitrate == 0 || audioBytes <= 0) {
            return;
        }
        durationMs = audioBytes * 8 * 1000 / bitrate;
        estimated = true;
    }

    // The position now, or the last one known.
    std::int64_t QueryPosition() {
        gint64 position = 0;
        if (gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &position) &&
            position >= 0) {
            lastPositionMs = position / kNsPerMs;
        }
        return lastPositionMs;
    }

    // At the end, position and length are one and the same number: the length when known,
    // otherwise the position reached.
    void MarkEnded() {
        if (ended) {
            return;
        }
        QueryDuration();
        endMs = durationMs > 0 ? durationMs : std::max(QueryPosition(), lengthGivenMs);
        ended = true;
    }

    void Fail(GstMessage* message) {
        settled = true;
        error = DescribeError(message);
        bool fromOutput = audioSink && gst_object_has_as_ancestor(GST_MESSAGE_SRC(message),
                                                                  GST_OBJECT(audioSink.get()));
        outcome = fromOutput ? Outcome::kNoOutput : Outcome::kUnplayable;
    }

    std::string path;
    FileStamp stamp;
    bool withSurface = false;
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
};

}  // namespace gst

using gst::Pipeline;

GstMediaPlayer::GstMediaPlayer(GstMediaPlayerOptions options) : options_(std::move(options)) {
    EnsureGStreamer();
}

GstMediaPlayer::~GstMediaPlayer() {
    Close();
    DiscardPrepared();
}

void GstMediaPlayer::SetParentWindow(SurfaceHandle surface) {
    surface_ = static_cast<VideoOutput*>(surface);
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
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->path = path;
    pipeline->stamp = gst::StampOf(path);
    pipeline->withSurface = surface_ != nullptr;

    std::string reasons;
    std::vector<std::string> candidates;
    if (options_.audioSink) {
        candidates.push_back(options_.audioSink());
    } else {
        candidates = {"pulsesink", "alsasink"};
    }
    for (const std::string& candidate : candidates) {
        std::string reason;
        pipeline->audioSink = gst::MakeReadySink(candidate, &reason, /*withVolume=*/true);
        if (pipeline->audioSink) {
            break;
        }
        reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    if (!pipeline->audioSink) {
        *outputMissing = true;
        pipeline->error = reasons;
        lastOutputError_ = reasons;
        return nullptr;
    }

    pipeline->playbin = gst::AdoptFloating(gst_element_factory_make("playbin", nullptr));
    if (!pipeline->playbin) {
        std::cerr << "chimeon: media playback unavailable: GStreamer's playbin is missing\n";
        return nullptr;
    }

    gst::ObjectPtr<GstElement> videoSink;
    if (pipeline->withSurface) {
        videoSink = gst::AdoptFloating(gst_element_factory_make("appsink", nullptr));
        if (videoSink) {
            gst::CapsPtr caps(gst_caps_from_string("video/x-raw,format=BGRx"));
            g_object_set(videoSink.get(), "caps", caps.get(), "sync", TRUE, "max-buffers", 2u,
                         "drop", TRUE, nullptr);
            pipeline->tap = std::make_shared<gst::VideoTap>();
            GstAppSinkCallbacks callbacks{};
            callbacks.new_sample = gst::OnNewSample;
            gst_app_sink_set_callbacks(GST_APP_SINK(videoSink.get()), &callbacks,
                                       new std::shared_ptr<gst::VideoTap>(pipeline->tap),
                                       gst::DeleteTapRef);
        }
    }
    if (!videoSink) {
        std::string unused;
        videoSink = gst::MakeReadySink(options_.hiddenVideoSink, &unused);
    }

    GError* rawError = nullptr;
    gst::CharPtr uri(gst_filename_to_uri(path.c_str(), &rawError));
    gst::ErrorPtr uriError(rawError);
    if (!uri) {
        return nullptr;
    }
    g_object_set(pipeline->playbin.get(), "uri", uri.get(), "audio-sink", pipeline->audioSink.get(),
                 "flags", gst::kPlayFlagVideo | gst::kPlayFlagAudio | gst::kPlayFlagSoftVolume,
                 "volume", 1.0, nullptr);
    if (videoSink) {
        g_object_set(pipeline->playbin.get(), "video-sink", videoSink.get(), nullptr);
    }
    g_signal_connect(pipeline->playbin.get(), "element-setup", G_CALLBACK(gst::OnElementSetup),
                     nullptr);
    pipeline->bus = gst::AdoptFull(gst_element_get_bus(pipeline->playbin.get()));
    gst_bus_set_sync_handler(pipeline->bus.get(), gst::FilterMessages, nullptr, nullptr);

    if (gst_element_set_state(pipeline->playbin.get(), GST_STATE_PAUSED) ==
        GST_STATE_CHANGE_FAILURE) {
        // The reason is on the bus; without one, the file is simply unplayable.
        gst::MessagePtr message(gst_bus_pop_filtered(pipeline->bus.get(), GST_MESSAGE_ERROR));
        if (message) {
            pipeline->Fail(message.get());
        } else {
            pipeline->settled = true;
            pipeline->outcome = Pipeline::Outcome::kUnplayable;
        }
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
