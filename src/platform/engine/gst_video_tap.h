#pragma once

#include <gst/video/video.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/engine/gst_handles.h"

namespace chimeon {

class VideoOutput;

namespace gst {

// The video route of one pipeline: which surface gets its pictures, and whether it is shown.
// Pictures arrive on a streaming thread; the owner's thread moves the route.
struct VideoTap {
    std::mutex mutex;
    VideoOutput* output = nullptr;
    bool shown = false;
    // Pictures arrive as decoded; those not in BGRx are converted here, only when watched.
    GstVideoConverter* converter = nullptr;
    GstVideoInfo from{};
    std::vector<std::uint8_t> converted;

    VideoTap() = default;
    VideoTap(const VideoTap&) = delete;
    VideoTap& operator=(const VideoTap&) = delete;
    ~VideoTap();

    void Set(VideoOutput* newOutput);
    void Show();
    // Clears the surface it showed and takes no more pictures.
    void Detach();
};

// An application sink that hands every decoded picture (as 32-bit BGRx) to `tap`; null when it
// cannot be made. It takes any raw format, so that nothing is converted while nobody watches.
ObjectPtr<GstElement> MakeVideoTapSink(const std::shared_ptr<VideoTap>& tap);

}  // namespace gst
}  // namespace chimeon
