#pragma once

#include <optional>
#include <string>

#include "core/engine/sound_level.h"

namespace chimeon {

// Asks the media framework whether a file holds sound or a picture it can play: what the player
// would find in it. Used by the checks for the files the duration probe cannot vouch for.
class MediaStreamProbe {
public:
    enum class Verdict {
        kHasStream,  // an audio or video stream the player can decode
        kNoStream,   // nothing playable: not media, damaged, or no decoder for it
        kUnknown,    // no answer in time, or the framework is not available
    };
    struct Answer {
        Verdict verdict = Verdict::kUnknown;
        std::string problem;  // kNoStream: why, on one line
    };
    virtual ~MediaStreamProbe() = default;
    virtual Answer Examine(const std::string& file) = 0;
};

// Plays the first seconds of a file as fast as it decodes and measures their level: a file that
// is silent there rings silent. Nothing when it holds no sound or gives no answer in time.
class MediaLevelProbe {
public:
    virtual ~MediaLevelProbe() = default;
    virtual std::optional<SoundLevel> Measure(const std::string& file) = 0;
};

}  // namespace chimeon
