#include "platform/engine/gst_video_hop.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>

#include "core/system/log.h"
#include "platform/engine/gst_media_player.h"

namespace chimeon {
namespace fs = std::filesystem;
namespace {

// In front of every picture; a picture of no size says there is nothing to show.
struct HopHeader {
    std::uint32_t magic = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
    std::int64_t sentNs = 0;  // on the monotonic clock
};
constexpr std::uint32_t kHopMagic = 0x31465643;  // "CVF1"

std::int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A folder of this user's that nobody else can enter; false when it cannot be had.
bool PrivateFolder(const fs::path& folder) {
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid()) {
        return false;
    }
    return (info.st_mode & 0777) == 0700 || ::chmod(folder.c_str(), 0700) == 0;
}

}  // namespace

fs::path VideoSocketPath(const fs::path& dataDirectory, const char* runtimeFolder, uid_t user) {
    fs::path folder = runtimeFolder != nullptr && runtimeFolder[0] == '/'
                          ? fs::path(runtimeFolder) / "chimeon-video"
                          : fs::path("/tmp/chimeon-video-" + std::to_string(user));
    struct stat info {};
    std::string name = ::stat(dataDirectory.c_str(), &info) == 0
                           ? std::to_string(info.st_dev) + "-" + std::to_string(info.st_ino)
                           : std::to_string(std::hash<std::string>{}(dataDirectory.string()));
    return folder / (name + ".sock");
}

// What the feed's socket thread and the restarts it asks for share with the feed. shmsink's
// socket thread ends at the first fault of a window (one killed while it attaches, say): the
// feed then starts its pipeline again, off that thread, and the windows attach anew.
struct ShmVideoFeed::Link {
    std::mutex mutex;
    bool stopped = false;
    std::atomic<bool> restarting{false};
    std::atomic<int> clients{0};
    fs::path socket;
    GstElement* pipeline = nullptr;  // the feed's own

    // Makes the socket and starts passing pictures; false when it cannot.
    bool Run() {
        // One broadcaster per data directory: a socket left there is one that crashed.
        struct stat info {};
        if (::lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            ::unlink(socket.c_str());
        }
        clients = 0;
        if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            return false;
        }
        ::chmod(socket.c_str(), 0600);
        return true;
    }

    static void Restart(GstElement*, gpointer data) {
        Link& link = **static_cast<std::shared_ptr<Link>*>(data);
        std::lock_guard lock(link.mutex);
        if (!link.stopped) {
            gst_element_set_state(link.pipeline, GST_STATE_NULL);
            if (!link.Run()) {
                Log(LogLevel::kWarning, "video",
                    "no video for the window any more: " + link.socket.string() +
                        " cannot be made again");
            }
        }
        link.restarting = false;
    }

    static GstBusSyncReply OnMessage(GstBus*, GstMessage* message, gpointer data) {
        const std::shared_ptr<Link>& link = *static_cast<std::shared_ptr<Link>*>(data);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && !link->restarting.exchange(true)) {
            Log(LogLevel::kWarning, "video",
                "video to the window starts again after: " + gst::DescribeError(message));
            gst_element_call_async(
                link->pipeline, Restart, new std::shared_ptr<Link>(link),
                [](gpointer held) { delete static_cast<std::shared_ptr<Link>*>(held); });
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
};

std::unique_ptr<ShmVideoFeed> ShmVideoFeed::Start(const fs::path& socket, unsigned shmBytes) {
    auto fail = [&socket](const std::string& why) {
        Log(LogLevel::kWarning, "video",
            "no video for the window at " + socket.string() + ": " + why);
        return nullptr;
    };
    if (!EnsureGStreamer()) {
        return fail("GStreamer did not start");
    }
    if (!PrivateFolder(socket.parent_path())) {
        return fail("its folder is not this user's alone");
    }
    std::unique_ptr<ShmVideoFeed> feed(new ShmVideoFeed());
    feed->largestPicture_ = shmBytes / 4;  // a bigger one would never find room
    feed->pipeline_ = gst::AdoptFloating(gst_pipeline_new("chimeon-video-feed"));
    feed->source_ = gst::AdoptFloating(gst_element_factory_make("appsrc", nullptr));
    GstElement* sink = gst_element_factory_make("shmsink", nullptr);
    if (!feed->pipeline_ || !feed->source_ || sink == nullptr) {
        if (sink != nullptr) {
            gst_object_unref(gst_object_ref_sink(sink));
        }
        return fail("GStreamer's appsrc or shmsink is missing");
    }
    feed->link_ = std::make_shared<Link>();
    feed->link_->socket = socket;
    feed->link_->pipeline = feed->pipeline_.get();
    // The newest two pictures wait while the sink cannot write (a frozen window holds the
    // shared area); older ones are dropped, and the player's thread never waits.
    g_object_set(feed->source_.get(), "block", FALSE, "max-buffers", G_GUINT64_CONSTANT(2),
                 "leaky-type", GST_APP_LEAKY_TYPE_DOWNSTREAM, "format", GST_FORMAT_TIME, nullptr);
    // Pictures arrive at the time they are due: the sink passes them on at once.
    g_object_set(sink, "socket-path", socket.c_str(), "wait-for-connection", FALSE, "sync", FALSE,
                 "async", FALSE, "shm-size", shmBytes, "perms", 0600, nullptr);
    g_signal_connect(sink, "client-connected", G_CALLBACK(OnClientConnected), feed.get());
    g_signal_connect(sink, "client-disconnected", G_CALLBACK(OnClientDisconnected), feed.get());
    gst_bin_add_many(GST_BIN(feed->pipeline_.get()),
                     GST_ELEMENT(gst_object_ref(feed->source_.get())), sink, nullptr);
    gst::ObjectPtr<GstBus> bus = gst::AdoptFull(gst_element_get_bus(feed->pipeline_.get()));
    gst_bus_set_sync_handler(
        bus.get(), Link::OnMessage, new std::shared_ptr<Link>(feed->link_),
        [](gpointer held) { delete static_cast<std::shared_ptr<Link>*>(held); });
    if (!gst_element_link(feed->source_.get(), sink) || !feed->link_->Run()) {
        return fail("the socket cannot be made");
    }
    return feed;
}

ShmVideoFeed::~ShmVideoFeed() {
    if (!link_) {
        return;
    }
    std::lock_guard lock(link_->mutex);
    link_->stopped = true;
    // Stopping, shmsink's socket thread reports its wait cut short as an error: not one.
    gst::ObjectPtr<GstBus> bus = gst::AdoptFull(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    gst_bus_set_flushing(bus.get(), TRUE);
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

bool ShmVideoFeed::Watched() const {
    return link_->clients.load() > 0;
}

void ShmVideoFeed::Send(GstBuffer* buffer, bool keep) {
    {
        std::lock_guard lock(mutex_);
        last_.reset(keep ? gst_buffer_ref(buffer) : nullptr);
    }
    gst_app_src_push_buffer(GST_APP_SRC(source_.get()), buffer);
}

void ShmVideoFeed::Present(const VideoFrame& frame) {
    const gsize pixels = static_cast<gsize>(frame.stride) * static_cast<gsize>(frame.height);
    if (!Watched() || frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * 4 ||
        pixels > largestPicture_) {
        return;
    }
    const HopHeader header{kHopMagic, frame.width, frame.height, frame.stride, MonotonicNs()};
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, sizeof header + pixels, nullptr);
    gst_buffer_fill(buffer, 0, &header, sizeof header);
    gst_buffer_fill(buffer, sizeof header, frame.data, pixels);
    Send(buffer, true);
}

void ShmVideoFeed::Clear() {
    const HopHeader header{kHopMagic, 0, 0, 0, MonotonicNs()};
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, sizeof header, nullptr);
    gst_buffer_fill(buffer, 0, &header, sizeof header);
    Send(buffer, false);
}

void ShmVideoFeed::OnClientConnected(GstElement*, gint, gpointer self) {
    auto* feed = static_cast<ShmVideoFeed*>(self);
    feed->link_->clients.fetch_add(1);
    gst::BufferPtr again;
    {
        std::lock_guard lock(feed->mutex_);
        if (feed->last_) {
            again.reset(gst_buffer_ref(feed->last_.get()));
        }
    }
    if (again) {  // a paused picture is there at once
        gst_app_src_push_buffer(GST_APP_SRC(feed->source_.get()), again.release());
    }
}

void ShmVideoFeed::OnClientDisconnected(GstElement*, gint, gpointer self) {
    static_cast<ShmVideoFeed*>(self)->link_->clients.fetch_sub(1);
}

struct ShmVideoReceiver::Sink {
    std::shared_ptr<VideoOutput> surface;
    std::function<void(std::int64_t)> onHop;
};

namespace {

GstFlowReturn OnPicture(GstAppSink* appSink, gpointer data) {
    auto& sink = **static_cast<std::shared_ptr<ShmVideoReceiver::Sink>*>(data);
    gst::SamplePtr sample(gst_app_sink_pull_sample(appSink));
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    GstMapInfo map;
    if (buffer == nullptr || !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return GST_FLOW_OK;
    }
    HopHeader header;
    if (map.size >= sizeof header) {
        std::memcpy(&header, map.data, sizeof header);
    }
    const gsize pixels = static_cast<gsize>(header.stride) * static_cast<gsize>(header.height);
    if (header.magic != kHopMagic) {
        // not a picture of ours: ignored
    } else if (header.width == 0) {
        sink.surface->Clear();
    } else if (header.width > 0 && header.height > 0 && header.stride >= header.width * 4 &&
               map.size >= sizeof header + pixels) {
        VideoFrame frame;
        frame.width = header.width;
        frame.height = header.height;
        frame.stride = header.stride;
        frame.data = map.data + sizeof header;
        sink.surface->Present(frame);
        if (sink.onHop) {
            sink.onHop(MonotonicNs() - header.sentNs);
        }
    }
    gst_buffer_unmap(buffer, &map);
    return GST_FLOW_OK;
}

}  // namespace

ShmVideoReceiver::ShmVideoReceiver(fs::path socket, std::shared_ptr<VideoOutput> surface,
                                   std::function<void(std::int64_t)> onHop)
    : socket_(std::move(socket)),
      sink_(std::make_shared<Sink>(Sink{std::move(surface), std::move(onHop)})) {}

ShmVideoReceiver::~ShmVideoReceiver() {
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
}

void ShmVideoReceiver::Detach() {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    pipeline_.reset();
    bus_.reset();
    sink_->surface->Clear();
}

bool ShmVideoReceiver::Poll() {
    if (pipeline_) {
        while (gst::MessagePtr message{gst_bus_pop_filtered(
            bus_.get(), static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))}) {
            Detach();  // the broadcaster went away
            return false;
        }
        return true;
    }
    struct stat info {};
    if (::stat(socket_.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || !EnsureGStreamer()) {
        return false;
    }
    GstElement* source = gst_element_factory_make("shmsrc", nullptr);
    GstElement* appSink = gst_element_factory_make("appsink", nullptr);
    pipeline_ = gst::AdoptFloating(gst_pipeline_new("chimeon-video-window"));
    if (source == nullptr || appSink == nullptr) {
        for (GstElement* element : {source, appSink}) {
            if (element != nullptr) {
                gst_object_unref(gst_object_ref_sink(element));
            }
        }
        pipeline_.reset();
        return false;
    }
    g_object_set(source, "socket-path", socket_.c_str(), "is-live", TRUE, nullptr);
    // Drawn at once; a window that falls behind draws the newest picture only.
    g_object_set(appSink, "sync", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnPicture;
    gst_app_sink_set_callbacks(
        GST_APP_SINK(appSink), &callbacks, new std::shared_ptr<Sink>(sink_),
        [](gpointer data) { delete static_cast<std::shared_ptr<Sink>*>(data); });
    gst_bin_add_many(GST_BIN(pipeline_.get()), source, appSink, nullptr);
    bus_ = gst::AdoptFull(gst_element_get_bus(pipeline_.get()));
    if (!gst_element_link(source, appSink) ||
        gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        pipeline_.reset();
        bus_.reset();
        return false;
    }
    return true;
}

}  // namespace chimeon
