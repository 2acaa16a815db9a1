#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine/sound_level.h"

namespace chimeon {

class VideoOutput;

inline constexpr int kNormalPlayerVolume = 1000;

// Why the last Open gave false: the file itself, or the audio output (the sound server not up
// yet), which the next Open tries again.
enum class OpenFailure { kNone, kFile, kNoAudioOutput };

// One media file at a time, positions and lengths in milliseconds, volume 1000 normal.
// Closed player (before the first Open, after Close, after an Open that failed): position and
// length are 0, and Play, Stop, Seek and SetVolume do nothing. The end of play is found by the
// owner comparing position and length; at the end they are exactly equal.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    // Where a video's picture is drawn (the preview window's display area); null for none.
    virtual void SetParentWindow(VideoOutput* surface) = 0;
    virtual void SetFile(std::string_view path) = 0;
    // Opens the file set last; only called on a closed player. False when the file cannot be
    // played; the player then stays closed.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Seek(std::int64_t positionMs) = 0;
    virtual std::int64_t GetPosition() = 0;
    virtual std::int64_t GetLength() = 0;
    virtual void SetVolume(int volume) = 0;
    // The volume last set, or read by a successful Open.
    virtual int GetVolume() const = 0;
    // Shows the picture so that it fills the parent surface (audio shows nothing).
    virtual void ShowMaximized() = 0;

    // Why the last Open failed (kNone after one that succeeded), and in words.
    virtual OpenFailure LastOpenFailure() const { return OpenFailure::kNone; }
    virtual std::string LastOpenFailureReason() const { return {}; }

    // A hint that `path` is due to be opened soon: a player may open and preroll it ahead, so
    // that the later Open and Play start sound at once. Changes nothing that can be observed.
    virtual void Prepare(std::string_view path) { (void)path; }

    // Whether ScheduleStart can be asked for at all (a player that cannot is only played).
    virtual bool CanScheduleStart() const { return false; }
    // Starts the open file, stopped at its start, so that its first sample sounds at `dueMs`
    // (milliseconds since 1970-01-01 UTC, the system's real-time clock) rather than when the
    // call comes. The call comes about `lead` before that moment: time for the output to get
    // going. False when it cannot be done; nothing has changed then, and the caller plays the
    // file at its moment as before.
    virtual bool ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) {
        (void)dueMs;
        (void)lead;
        return false;
    }
    // Takes back a scheduled start whose moment has not come, without a sound: the file stays
    // open, stopped at its start.
    virtual void CancelScheduledStart() {}
    // How late (negative: early) the first sample of the last scheduled start sounded, in
    // milliseconds, as the output tells it; nothing when it cannot say.
    virtual std::optional<std::int64_t> ScheduledStartLateness() { return std::nullopt; }
    // The level of the open file's first seconds since it last started playing from its start,
    // once they have played (or the file ended sooner); given once per start, nothing before,
    // after, or from a player that does not measure.
    virtual std::optional<SoundLevel> TakeStartLevel() { return std::nullopt; }
};

}  // namespace chimeon
