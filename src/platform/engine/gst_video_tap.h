#pragma once

#include <memory>
#include <mutex>

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

    void Set(VideoOutput* newOutput);
    void Show();
    // Clears the surface it showed and takes no more pictures.
    void Detach();
};

// An application sink that hands every decoded picture (32-bit BGRx) to `tap`; null when it
// cannot be made.
ObjectPtr<GstElement> MakeVideoTapSink(const std::shared_ptr<VideoTap>& tap);

}  // namespace gst
}  // namespace chimeon
