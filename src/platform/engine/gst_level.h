#pragma once

#include <gst/gst.h>

#include <chrono>
#include <string>

#include "core/engine/media_stream_probe.h"
#include "core/engine/sound_level.h"

namespace chimeon::gst {

// Adds a report of the level element (peak of the loudest channel, mean power over the
// channels, up to the end of its interval in the stream) to `meter`; false for any other message.
bool AddLevelReport(GstMessage* message, SoundLevelMeter& meter);

}  // namespace chimeon::gst

namespace chimeon {

// Decodes the first seconds of a file's sound (no output, not paced) through a level element.
class GstLevelProbe : public MediaLevelProbe {
public:
    explicit GstLevelProbe(std::chrono::milliseconds limit = std::chrono::seconds(5))
        : limit_(limit) {}

    std::optional<SoundLevel> Measure(const std::string& file) override;

private:
    std::chrono::milliseconds limit_;
};

}  // namespace chimeon
