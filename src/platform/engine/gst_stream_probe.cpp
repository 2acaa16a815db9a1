#include "platform/engine/gst_stream_probe.h"

#include <gst/pbutils/pbutils.h>

#include <algorithm>
#include <memory>

#include "platform/engine/gst_handles.h"
#include "platform/engine/gst_media_player.h"

namespace chimeon {
namespace {

// The discoverer and its results are plain GObjects, not GstObjects.
struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

MediaStreamProbe::Answer NoStream(std::string problem) {
    std::replace(problem.begin(), problem.end(), '\n', ' ');
    return {MediaStreamProbe::Verdict::kNoStream, std::move(problem)};
}

// Whether the list of stream infos holds any, freeing it.
bool AnyStream(GList* streams) {
    bool any = streams != nullptr;
    gst_discoverer_stream_info_list_free(streams);
    return any;
}

}  // namespace

MediaStreamProbe::Answer GstDiscovererStreamProbe::Examine(const std::string& file) {
    if (!EnsureGStreamer()) {
        return {};
    }
    GError* raw = nullptr;
    gst::CharPtr uri(gst_filename_to_uri(file.c_str(), &raw));
    gst::ErrorPtr uriError(raw);
    if (!uri) {
        return NoStream(uriError ? uriError->message : "no URI for the file name");
    }
    const auto timeout = static_cast<GstClockTime>(limit_.count()) * GST_MSECOND;
    raw = nullptr;
    GObjectPtr<GstDiscoverer> discoverer(gst_discoverer_new(timeout, &raw));
    gst::ErrorPtr newError(raw);
    if (!discoverer) {
        return {};
    }
    raw = nullptr;
    GObjectPtr<GstDiscovererInfo> info(
        gst_discoverer_discover_uri(discoverer.get(), uri.get(), &raw));
    gst::ErrorPtr error(raw);
    std::string message = error ? error->message : "";
    if (!info) {
        return NoStream(message.empty() ? "GStreamer cannot read it" : message);
    }
    switch (gst_discoverer_info_get_result(info.get())) {
        case GST_DISCOVERER_OK:
            if (AnyStream(gst_discoverer_info_get_audio_streams(info.get())) ||
                AnyStream(gst_discoverer_info_get_video_streams(info.get()))) {
                return {Verdict::kHasStream, {}};
            }
            return NoStream("no audio or video stream in it");
        case GST_DISCOVERER_MISSING_PLUGINS:
            return NoStream("no decoder for it is installed");
        case GST_DISCOVERER_TIMEOUT:
        case GST_DISCOVERER_BUSY:
            return {};
        case GST_DISCOVERER_URI_INVALID:
        case GST_DISCOVERER_ERROR:
            break;
    }
    return NoStream(message.empty() ? "GStreamer cannot read it" : message);
}

}  // namespace chimeon
