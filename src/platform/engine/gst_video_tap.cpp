#include "platform/engine/gst_video_tap.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include "core/engine/video_output.h"

namespace chimeon::gst {
namespace {

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

}  // namespace

void VideoTap::Set(VideoOutput* newOutput) {
    std::lock_guard lock(mutex);
    if (output != newOutput && output != nullptr && shown) {
        output->Clear();
    }
    output = newOutput;
}

void VideoTap::Show() {
    std::lock_guard lock(mutex);
    shown = true;
}

void VideoTap::Detach() {
    std::lock_guard lock(mutex);
    if (output != nullptr && shown) {
        output->Clear();
    }
    output = nullptr;
    shown = false;
}

ObjectPtr<GstElement> MakeVideoTapSink(const std::shared_ptr<VideoTap>& tap) {
    ObjectPtr<GstElement> sink = AdoptFloating(gst_element_factory_make("appsink", nullptr));
    if (!sink) {
        return nullptr;
    }
    CapsPtr caps(gst_caps_from_string("video/x-raw,format=BGRx"));
    g_object_set(sink.get(), "caps", caps.get(), "sync", TRUE, "max-buffers", 2u, "drop", TRUE,
                 nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks,
                               new std::shared_ptr<VideoTap>(tap), DeleteTapRef);
    return sink;
}

}  // namespace chimeon::gst
