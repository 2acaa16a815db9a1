#include "platform/network/network_output_bin.h"

#include <gst/app/gstappsink.h>

#include <string>

#include "platform/network/snapcast_feed.h"

namespace chimeon {
namespace {

// A little more than the feed's buffer and its writing ahead: the feed then has each sample
// before its turn.
constexpr std::int64_t kHandOverAheadNs = (50 + SnapcastFeed::kWriteAheadMs) * 1000000LL;

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
    SnapcastFeed* feed = static_cast<std::shared_ptr<SnapcastFeed>*>(data)->get();
    gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) {
        return GST_FLOW_OK;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample.get());
    const GstSegment* segment = gst_sample_get_segment(sample.get());
    gst::ObjectPtr<GstClock> clock = gst::AdoptFull(gst_element_get_clock(GST_ELEMENT(sink)));
    if (buffer == nullptr || segment == nullptr || !clock || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        return GST_FLOW_OK;
    }
    const guint64 running =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (running == GST_CLOCK_TIME_NONE) {
        return GST_FLOW_OK;
    }
    // When the local sink plays it, on the pipeline's clock, and so on the real-time clock.
    const auto due =
        static_cast<std::int64_t>(gst_element_get_base_time(GST_ELEMENT(sink)) + running);
    const auto now = static_cast<std::int64_t>(gst_clock_get_time(clock.get()));
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        feed->Submit(SnapcastFeed::RealtimeNs() + (due - now),
                     reinterpret_cast<const std::int16_t*>(map.data),
                     map.size / (sizeof(std::int16_t) * SnapcastFeed::kChannels));
        gst_buffer_unmap(buffer, &map);
    }
    return GST_FLOW_OK;
}

GstElement* Make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

}  // namespace

gst::ObjectPtr<GstElement> MakeNetworkOutputBin(gst::ObjectPtr<GstElement> localSink,
                                                std::shared_ptr<SnapcastFeed> feed) {
    if (!localSink) {
        localSink = gst::AdoptFloating(Make("fakesink"));
        if (localSink) {
            g_object_set(localSink.get(), "sync", TRUE, nullptr);
        }
    }
    GstElement* bin = gst_bin_new("network-output");
    GstElement* tee = Make("tee");
    GstElement* localQueue = Make("queue");
    GstElement* netQueue = Make("queue");
    GstElement* convert = Make("audioconvert");
    GstElement* resample = Make("audioresample");
    GstElement* caps = Make("capsfilter");
    GstElement* appsink = Make("appsink");
    GstElement* volume = Make("volume");
    if (bin == nullptr || tee == nullptr || localQueue == nullptr || netQueue == nullptr ||
        convert == nullptr || resample == nullptr || caps == nullptr || appsink == nullptr ||
        volume == nullptr || !localSink) {
        for (GstElement* element :
             {bin, tee, localQueue, netQueue, convert, resample, caps, appsink, volume}) {
            if (element != nullptr) {
                gst_object_unref(gst_object_ref_sink(element));
            }
        }
        return nullptr;
    }
    gst::ObjectPtr<GstElement> made = gst::AdoptFloating(bin);
    const auto ahead =
        std::chrono::duration_cast<std::chrono::nanoseconds>(feed->buffer()).count() +
        kHandOverAheadNs;
    // The local share waits while the network's runs ahead: room for that much sound.
    g_object_set(localQueue, "max-size-time", static_cast<guint64>(ahead + GST_SECOND),
                 "max-size-buffers", 0U, "max-size-bytes", 0U, nullptr);
    g_object_set(netQueue, "max-size-time", static_cast<guint64>(GST_SECOND), nullptr);
    gst::CapsPtr format(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                            G_TYPE_INT, SnapcastFeed::kRate, "channels", G_TYPE_INT,
                                            SnapcastFeed::kChannels, "layout", G_TYPE_STRING,
                                            "interleaved", nullptr));
    g_object_set(caps, "caps", format.get(), nullptr);
    g_object_set(appsink, "sync", TRUE, "ts-offset", static_cast<gint64>(-ahead), "max-buffers", 8U,
                 "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnSample;
    auto* keep = new std::shared_ptr<SnapcastFeed>(std::move(feed));
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, keep, [](gpointer data) {
        delete static_cast<std::shared_ptr<SnapcastFeed>*>(data);
    });
    // Not a sink of the bin: the file's position and its end are the local sink's.
    GST_OBJECT_FLAG_UNSET(appsink, GST_ELEMENT_FLAG_SINK);
    GstElement* local = localSink.get();  // the bin takes a reference of its own
    gst_bin_add_many(GST_BIN(bin), tee, localQueue, local, netQueue, convert, resample, caps,
                     appsink, nullptr);
    // Added last, so found first: playbin's volume applies to both shares.
    gst_bin_add(GST_BIN(bin), volume);
    if (!gst_element_link_many(volume, tee, localQueue, local, nullptr) ||
        !gst_element_link_many(tee, netQueue, convert, resample, caps, appsink, nullptr)) {
        return nullptr;
    }
    gst::ObjectPtr<GstPad> target = gst::AdoptFull(gst_element_get_static_pad(volume, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", target.get()));
    return made;
}

}  // namespace chimeon
