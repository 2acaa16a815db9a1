#include "platform/engine/gst_sink_probe.h"

#include <gst/audio/streamvolume.h>

namespace chimeon::gst {
namespace {

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

}  // namespace

ObjectPtr<GstElement> MakeReadySink(const std::string& description, std::string* reason,
                                    bool withVolume) {
    ObjectPtr<GstElement> sink = ParseSink(description, reason);
    if (sink && withVolume) {
        // The level element measures what leaves the player: after our volume, before a sound
        // server's stream volume (which the player reads back for the measure).
        std::string chain = "level name=chimeon-level post-messages=true interval=100000000 ! ";
        if (!HasStreamVolume(sink.get())) {
            chain = "volume name=chimeon-volume ! " + chain;
        }
        if (ObjectPtr<GstElement> measured = ParseSink(chain + description, reason)) {
            sink = std::move(measured);
        } else if (!HasStreamVolume(sink.get())) {
            sink = ParseSink("volume name=chimeon-volume ! " + description, reason);
        }
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

ObjectPtr<GstElement> FirstReadyAudioSink(const std::vector<std::string>& candidates,
                                          std::string* reasons) {
    reasons->clear();
    for (const std::string& candidate : candidates) {
        std::string reason;
        if (ObjectPtr<GstElement> sink = MakeReadySink(candidate, &reason, /*withVolume=*/true)) {
            return sink;
        }
        *reasons += (reasons->empty() ? "" : "; ") + reason;
    }
    return nullptr;
}

}  // namespace chimeon::gst
