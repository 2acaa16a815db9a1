#include "support/gst/gst_pipeline_run.h"

#include <gst/gst.h>

#include "platform/engine/gst_media_player.h"

namespace chimeon::test {

bool RunPipeline(const std::string& description, std::string* error) {
    std::string ignored;
    std::string& reason = error != nullptr ? *error : ignored;
    if (!EnsureGStreamer()) {
        reason = "GStreamer does not start";
        return false;
    }
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &parseError);
    if (parseError != nullptr) {
        reason = description + ": " + parseError->message;
        g_error_free(parseError);
        if (pipeline != nullptr) {
            gst_object_unref(pipeline);
        }
        return false;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ended = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    reason = ended ? "" : description + ": no end of stream";
    if (message != nullptr) {
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ended;
}

bool HasElement(const char* name) {
    if (!EnsureGStreamer()) {
        return false;
    }
    GstElementFactory* factory = gst_element_factory_find(name);
    if (factory == nullptr) {
        return false;
    }
    gst_object_unref(factory);
    return true;
}

}  // namespace chimeon::test
