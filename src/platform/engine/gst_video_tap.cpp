#include "platform/engine/gst_video_tap.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include "core/engine/video_output.h"

namespace chimeon::gst {
namespace {

// A BGRx picture of `buffer`, converted when it is in another format; false when it cannot be.
bool Present(VideoTap& tap, const GstVideoInfo& info, GstBuffer* buffer) {
    GstVideoFrame mapped;
    if (!gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
        return false;
    }
    VideoFrame frame;
    frame.width = GST_VIDEO_FRAME_WIDTH(&mapped);
    frame.height = GST_VIDEO_FRAME_HEIGHT(&mapped);
    if (GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_BGRx) {
        frame.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0);
        frame.data = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
        tap.output->Present(frame);
        gst_video_frame_unmap(&mapped);
        return true;
    }
    GstVideoInfo to;
    gst_video_info_set_format(&to, GST_VIDEO_FORMAT_BGRx, frame.width, frame.height);
    // The converter changes the pixels only: rate and aspect stay those of the stream.
    GST_VIDEO_INFO_FPS_N(&to) = GST_VIDEO_INFO_FPS_N(&info);
    GST_VIDEO_INFO_FPS_D(&to) = GST_VIDEO_INFO_FPS_D(&info);
    GST_VIDEO_INFO_PAR_N(&to) = GST_VIDEO_INFO_PAR_N(&info);
    GST_VIDEO_INFO_PAR_D(&to) = GST_VIDEO_INFO_PAR_D(&info);
    if (tap.converter == nullptr || !gst_video_info_is_equal(&tap.from, &info)) {
        if (tap.converter != nullptr) {
            gst_video_converter_free(tap.converter);
        }
        tap.from = info;
        tap.converter = gst_video_converter_new(&tap.from, &to, nullptr);
    }
    if (tap.converter == nullptr) {
        gst_video_frame_unmap(&mapped);
        return false;
    }
    tap.converted.resize(GST_VIDEO_INFO_SIZE(&to));
    GstVideoFrame out;
    BufferPtr wrapped(gst_buffer_new_wrapped_full(static_cast<GstMemoryFlags>(0),
                                                  tap.converted.data(), tap.converted.size(), 0,
                                                  tap.converted.size(), nullptr, nullptr));
    const bool ready = gst_video_frame_map(&out, &to, wrapped.get(), GST_MAP_WRITE);
    if (ready) {
        gst_video_converter_frame(tap.converter, &mapped, &out);
        frame.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&out, 0);
        frame.data = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&out, 0));
        tap.output->Present(frame);
        gst_video_frame_unmap(&out);
    }
    gst_video_frame_unmap(&mapped);
    return ready;
}

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
    VideoTap& tap = **static_cast<std::shared_ptr<VideoTap>*>(data);
    SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) {
        return GST_FLOW_OK;
    }
    std::lock_guard lock(tap.mutex);
    if (tap.output == nullptr || !tap.shown || !tap.output->Watched()) {
        return GST_FLOW_OK;
    }
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample.get());
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    if (caps != nullptr && buffer != nullptr && gst_video_info_from_caps(&info, caps)) {
        Present(tap, info, buffer);
    }
    return GST_FLOW_OK;
}

void DeleteTapRef(gpointer data) {
    delete static_cast<std::shared_ptr<VideoTap>*>(data);
}

}  // namespace

VideoTap::~VideoTap() {
    if (converter != nullptr) {
        gst_video_converter_free(converter);
    }
}

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
    CapsPtr caps(gst_caps_from_string("video/x-raw"));
    g_object_set(sink.get(), "caps", caps.get(), "sync", TRUE, "max-buffers", 2u, "drop", TRUE,
                 nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink.get()), &callbacks,
                               new std::shared_ptr<VideoTap>(tap), DeleteTapRef);
    return sink;
}

}  // namespace chimeon::gst
