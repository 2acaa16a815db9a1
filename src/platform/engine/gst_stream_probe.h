#pragma once

#include <chrono>
#include <string>

#include "core/engine/media_stream_probe.h"

namespace chimeon {

// Asks GStreamer's discoverer (gstreamer-pbutils) what streams a file holds, as playbin would
// find them, giving up after `limit` per file.
class GstDiscovererStreamProbe : public MediaStreamProbe {
public:
    explicit GstDiscovererStreamProbe(std::chrono::milliseconds limit = std::chrono::seconds(5))
        : limit_(limit) {}

    Answer Examine(const std::string& file) override;

private:
    std::chrono::milliseconds limit_;
};

}  // namespace chimeon
