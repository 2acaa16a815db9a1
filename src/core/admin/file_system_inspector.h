#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "core/admin/schedule_check.h"
#include "core/engine/media_stream_probe.h"

namespace chimeon {

// Looks at the real files, with stored paths resolved as the broadcast clock resolves them
// (relative ones in the data directory, letter case ignored, either separator), and examines
// each file once, however many rows name it. A WAV or MP3 file must be measurable and hold
// sound; every file must hold a stream that `streams` (when given) can play, and must not be
// silent in its first seconds as `levels` (when given) measures them.
class FileSystemInspector : public MediaInspector {
public:
    explicit FileSystemInspector(std::filesystem::path dataDirectory = {},
                                 MediaStreamProbe* streams = nullptr,
                                 MediaLevelProbe* levels = nullptr)
        : dataDirectory_(std::move(dataDirectory)), streams_(streams), levels_(levels) {}

    Facts Inspect(std::string_view storedPath) override;
    Sound Listen(const std::string& resolvedPath) override;

private:
    Sound Examine(const std::string& resolvedPath);

    std::filesystem::path dataDirectory_;
    MediaStreamProbe* streams_;
    MediaLevelProbe* levels_;
    std::map<std::string, Facts, std::less<>> facts_;
    std::map<std::string, Sound> sounds_;
};

}  // namespace chimeon
