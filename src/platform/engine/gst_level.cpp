#include "platform/engine/gst_level.h"

#include <algorithm>
#include <cmath>

#include "platform/engine/gst_handles.h"
#include "platform/engine/gst_media_player.h"

namespace chimeon::gst {

bool AddLevelReport(GstMessage* message, SoundLevelMeter& meter) {
    const GstStructure* report = gst_message_get_structure(message);
    if (report == nullptr || !gst_structure_has_name(report, "level")) {
        return false;
    }
    GstClockTime streamTime = 0;
    GstClockTime duration = 0;
    const GValue* peaks = gst_structure_get_value(report, "peak");
    const GValue* powers = gst_structure_get_value(report, "rms");
    if (!gst_structure_get_clock_time(report, "stream-time", &streamTime) ||
        !gst_structure_get_clock_time(report, "duration", &duration) || peaks == nullptr ||
        powers == nullptr) {
        return false;
    }
    // The level element still reports in GValueArray.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    auto* peakArray = static_cast<GValueArray*>(g_value_get_boxed(peaks));
    auto* powerArray = static_cast<GValueArray*>(g_value_get_boxed(powers));
    if (peakArray == nullptr || powerArray == nullptr || peakArray->n_values == 0 ||
        powerArray->n_values == 0) {
        return false;
    }
    double peak = kLevelFloorDb;
    double power = 0;
    for (guint i = 0; i < peakArray->n_values; ++i) {
        peak = std::max(peak, g_value_get_double(g_value_array_get_nth(peakArray, i)));
    }
    for (guint i = 0; i < powerArray->n_values; ++i) {
        power += std::pow(10.0, g_value_get_double(g_value_array_get_nth(powerArray, i)) / 10.0);
    }
    const double rms = 10.0 * std::log10(power / powerArray->n_values);
    G_GNUC_END_IGNORE_DEPRECATIONS
    meter.Add(peak, rms, static_cast<std::int64_t>((streamTime + duration) / GST_MSECOND));
    return true;
}

}  // namespace chimeon::gst

namespace chimeon {

std::optional<SoundLevel> GstLevelProbe::Measure(const std::string& file) {
    if (!EnsureGStreamer()) {
        return std::nullopt;
    }
    GError* rawError = nullptr;
    gst::CharPtr uri(gst_filename_to_uri(file.c_str(), &rawError));
    gst::ErrorPtr uriError(rawError);
    if (!uri) {
        return std::nullopt;
    }
    gst::ObjectPtr<GstElement> pipeline = gst::AdoptFloating(
        gst_parse_launch("uridecodebin name=source ! audioconvert ! "
                         "level post-messages=true interval=100000000 ! fakesink sync=false",
                         nullptr));
    if (!pipeline) {
        return std::nullopt;
    }
    gst::ObjectPtr<GstElement> source =
        gst::AdoptFull(gst_bin_get_by_name(GST_BIN(pipeline.get()), "source"));
    g_object_set(source.get(), "uri", uri.get(), nullptr);
    gst::ObjectPtr<GstBus> bus = gst::AdoptFull(gst_element_get_bus(pipeline.get()));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    SoundLevelMeter meter;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + limit_;
    while (!ended && !meter.Complete()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        gst::MessagePtr message(gst_bus_timed_pop_filtered(
            bus.get(), static_cast<GstClockTime>(left.count()),
            static_cast<GstMessageType>(GST_MESSAGE_ELEMENT | GST_MESSAGE_EOS |
                                        GST_MESSAGE_ERROR)));
        if (message && GST_MESSAGE_TYPE(message.get()) != GST_MESSAGE_ELEMENT) {
            ended = true;
        } else if (message) {
            gst::AddLevelReport(message.get(), meter);
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (!ended && !meter.Complete()) {
        return std::nullopt;  // no answer in time: say nothing rather than guess
    }
    return meter.Result();
}

}  // namespace chimeon
