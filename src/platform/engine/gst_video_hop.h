#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "core/engine/video_output.h"
#include "platform/engine/gst_handles.h"

namespace chimeon {

// The pictures of the broadcaster's player reach the window's preview through GStreamer's shared
// memory transport (shmsink / shmsrc): one copy into a shared area, a few bytes on a socket per
// picture. Each picture carries its own size in a small header in front of its pixels, so a
// window that attaches in the middle of a video, or between two videos of different sizes,
// reads the very next picture right without any message on the side.

// The socket of the broadcaster of `dataDirectory`: in a folder of this user's only (mode 0700)
// in `runtimeFolder` ($XDG_RUNTIME_DIR) or, without one, in /tmp, named by the data directory's
// device and inode, so two broadcasters never share one and every name of the folder finds it.
std::filesystem::path VideoSocketPath(const std::filesystem::path& dataDirectory,
                                      const char* runtimeFolder, uid_t user = ::getuid());

// The broadcaster's end: a surface for the player that sends every picture to whichever windows
// are attached. It never waits for them: a window that is frozen, gone or slow only misses
// pictures (the newest two wait, older ones are dropped), and while none is attached the player
// does not even convert its pictures.
class ShmVideoFeed final : public VideoOutput {
public:
    // Room for four full-HD pictures; a bigger picture is not sent.
    static constexpr unsigned kShmBytes = 40u << 20;

    // Null (and said in the log) when the socket cannot be made.
    static std::unique_ptr<ShmVideoFeed> Start(const std::filesystem::path& socket,
                                               unsigned shmBytes = kShmBytes);
    ~ShmVideoFeed() override;
    ShmVideoFeed(const ShmVideoFeed&) = delete;
    ShmVideoFeed& operator=(const ShmVideoFeed&) = delete;

    void Present(const VideoFrame& frame) override;
    void Clear() override;
    bool Watched() const override;

private:
    ShmVideoFeed() = default;
    void Send(GstBuffer* buffer, bool keep);
    static void OnClientConnected(GstElement*, gint, gpointer self);
    static void OnClientDisconnected(GstElement*, gint, gpointer self);

    gst::ObjectPtr<GstElement> pipeline_;
    gst::ObjectPtr<GstElement> source_;
    struct Link;

    std::shared_ptr<Link> link_;
    std::size_t largestPicture_ = 0;  // a quarter of the shared area
    std::mutex mutex_;
    gst::BufferPtr last_;  // shown again to a window that attaches while nothing moves
};

// The window's end: draws the broadcaster's pictures on `surface` while it is attached.
class ShmVideoReceiver {
public:
    // `onHop`, when given, hears how long each picture took from the broadcaster's surface to
    // here, in nanoseconds (on the monotonic clock both share).
    ShmVideoReceiver(std::filesystem::path socket, std::shared_ptr<VideoOutput> surface,
                     std::function<void(std::int64_t)> onHop = {});
    ~ShmVideoReceiver();
    ShmVideoReceiver(const ShmVideoReceiver&) = delete;
    ShmVideoReceiver& operator=(const ShmVideoReceiver&) = delete;

    // Called now and then on the owner's thread: attaches when the broadcaster's socket is
    // there, and lets go (clearing the surface) when the broadcaster went away. True while
    // attached.
    bool Poll();

    struct Sink;

private:
    void Detach();

    std::filesystem::path socket_;
    std::shared_ptr<Sink> sink_;
    gst::ObjectPtr<GstElement> pipeline_;
    gst::ObjectPtr<GstBus> bus_;
};

}  // namespace chimeon
