#pragma once

#include <gst/gst.h>

#include <memory>

#include "platform/engine/gst_handles.h"

namespace chimeon {

class SnapcastFeed;

// The audio sink of a file that plays through the network output: the file's sound, after its
// volume, goes to `localSink` (the sound card, or a silent clock-driven sink when only the
// network plays) and, converted to the feed's format, to `feed`. The network's share leaves a
// buffer earlier than the local one sounds (the feed writes it a buffer ahead), so both sound on
// the same moment; only the local sink counts for the file's position and end.
gst::ObjectPtr<GstElement> MakeNetworkOutputBin(gst::ObjectPtr<GstElement> localSink,
                                                std::shared_ptr<SnapcastFeed> feed);

}  // namespace chimeon
