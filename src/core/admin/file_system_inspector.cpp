#include "core/admin/file_system_inspector.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "core/engine/duration_probe.h"
#include "core/io/media_path.h"
#include "core/schedule/media_kind.h"

namespace chimeon {
namespace fs = std::filesystem;

MediaInspector::Facts FileSystemInspector::Inspect(std::string_view storedPath) {
    if (auto known = facts_.find(storedPath); known != facts_.end()) {
        return known->second;
    }
    Facts facts;
    if (auto resolved = ResolveMediaPath(storedPath, dataDirectory_)) {
        facts.resolved = resolved->string();
        std::error_code error;
        fs::file_status status = fs::status(*resolved, error);
        if (fs::is_directory(status)) {
            facts.kind = Kind::kFolder;
            facts.readable = ::access(resolved->c_str(), R_OK | X_OK) == 0;
            for (fs::directory_iterator it(*resolved, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code entryError;
                facts.filesInFolder += it->is_regular_file(entryError) ? 1 : 0;
            }
        } else if (fs::is_regular_file(status)) {
            facts.kind = Kind::kFile;
            int fd = ::open(resolved->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            facts.readable = fd >= 0;
            if (fd >= 0) {
                ::close(fd);
            }
        } else {
            facts.kind = fs::exists(status) ? Kind::kOther : Kind::kMissing;
        }
    }
    facts_.emplace(std::string(storedPath), facts);
    return facts;
}

MediaInspector::Sound FileSystemInspector::Listen(const std::string& resolvedPath) {
    auto known = sounds_.find(resolvedPath);
    if (known == sounds_.end()) {
        known = sounds_.emplace(resolvedPath, Examine(resolvedPath)).first;
    }
    return known->second;
}

MediaInspector::Sound FileSystemInspector::Examine(const std::string& resolvedPath) {
    Sound sound;
    if (IsMeasuredMedia(resolvedPath)) {
        std::optional<ProbedLength> length = ProbeLength(resolvedPath);
        if (!length) {
            return {false, "cannot be measured: it is damaged or not what its name says", {}};
        }
        if (!length->hasSound) {
            return {false, "holds no sound (an MP3 without a frame, a WAV without samples)", {}};
        }
        sound.seconds = length->seconds;
    }
    // The frame walk also counts stray sync patterns in random bytes as frames: the media
    // framework has the last word on whether anything plays.
    if (streams_ != nullptr) {
        MediaStreamProbe::Answer answer = streams_->Examine(resolvedPath);
        if (answer.verdict == MediaStreamProbe::Verdict::kNoStream) {
            sound = {false, {}, {}};
            sound.problem = "has no sound or picture the player can play (" + answer.problem + ")";
        }
    }
    if (sound.playable && levels_ != nullptr) {
        if (std::optional<SoundLevel> level = levels_->Measure(resolvedPath);
            level && level->silent) {
            sound.playable = false;
            sound.problem = "is silent in its first " + std::to_string(kLevelWindowMs / 1000) +
                            " seconds (level " + LevelText(*level) +
                            "): the bell would not be heard";
        }
    }
    return sound;
}

}  // namespace chimeon
