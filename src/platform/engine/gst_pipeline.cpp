#include "platform/engine/gst_pipeline.h"

#include <gst/video/video.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>

namespace chimeon::gst {
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
                                          std::shared_ptr<VideoTap> tap) {
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->path = path;
    pipeline->stamp = StampOf(path);
    pipeline->audioSink = std::move(audioSink);
    pipeline->tap = std::move(tap);
    pipeline->playbin = AdoptFloating(gst_element_factory_make("playbin", nullptr));
    if (!pipeline->playbin) {
        std::cerr << "chimeon: media playback unavailable: GStreamer's playbin is missing\n";
        return nullptr;
    }
    GError* rawError = nullptr;
    CharPtr uri(gst_filename_to_uri(path.c_str(), &rawError));
    ErrorPtr uriError(rawError);
    if (!uri) {
        return nullptr;
    }
    g_object_set(pipeline->playbin.get(), "uri", uri.get(), "audio-sink", pipeline->audioSink.get(),
                 "flags", kPlayFlagVideo | kPlayFlagAudio | kPlayFlagSoftVolume, "volume", 1.0,
                 nullptr);
    if (videoSink) {
        g_object_set(pipeline->playbin.get(), "video-sink", videoSink.get(), nullptr);
    }
    g_signal_connect(pipeline->playbin.get(), "element-setup", G_CALLBACK(OnElementSetup), nullptr);
    pipeline->bus = AdoptFull(gst_element_get_bus(pipeline->playbin.get()));
    gst_bus_set_sync_handler(pipeline->bus.get(), FilterMessages, nullptr, nullptr);

    if (gst_element_set_state(pipeline->playbin.get(), GST_STATE_PAUSED) ==
        GST_STATE_CHANGE_FAILURE) {
        // The reason is on the bus; without one, the file is simply unplayable.
        MessagePtr message(gst_bus_pop_filtered(pipeline->bus.get(), GST_MESSAGE_ERROR));
        if (message) {
            pipeline->Fail(message.get());
        } else {
            pipeline->settled = true;
            pipeline->outcome = Outcome::kUnplayable;
        }
    }
    return pipeline;
}

Pipeline::~Pipeline() {
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

Pipeline::Outcome Pipeline::WaitPrerolled(Clock::time_point deadline) {
    while (!settled) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
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

bool Pipeline::RenewOutput(Clock::time_point deadline) {
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

void Pipeline::Poll() {
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

void Pipeline::QueryDuration() {
    gint64 duration = 0;
    if (gst_element_query_duration(playbin.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
        durationMs = duration / kNsPerMs;
        estimated = false;
    }
}

void Pipeline::EstimateDuration() {
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

std::int64_t Pipeline::QueryPosition() {
    gint64 position = 0;
    if (gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &position) && position >= 0) {
        lastPositionMs = position / kNsPerMs;
    }
    return lastPositionMs;
}

void Pipeline::MarkEnded() {
    if (ended) {
        return;
    }
    QueryDuration();
    endMs = durationMs > 0 ? durationMs : std::max(QueryPosition(), lengthGivenMs);
    ended = true;
}

void Pipeline::Fail(GstMessage* message) {
    settled = true;
    error = DescribeError(message);
    bool fromOutput = audioSink && gst_object_has_as_ancestor(GST_MESSAGE_SRC(message),
                                                              GST_OBJECT(audioSink.get()));
    outcome = fromOutput ? Outcome::kNoOutput : Outcome::kUnplayable;
}

}  // namespace chimeon::gst
