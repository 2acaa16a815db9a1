#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace chimeon {

// How long a WAV or MP3 file plays, as "%d:%02d" of minutes and seconds (3:07, 62:05); nothing
// when the path is not a WAV or MP3 file name (IsMeasuredMedia), or the file cannot be opened or is
// not a WAV file with a usable header. An MP3 file without a single frame gives 0:00. The path may
// be a stored one ("\" separators, any letter case). Keeps no state; safe on any thread. With
// `stop`, a long MP3 walk gives up (nothing) soon after the flag is set.
std::optional<std::string> ProbeDuration(std::string_view path,
                                         const std::atomic<bool>* stop = nullptr);

// What the probe finds in a WAV or MP3 file: its play time in whole seconds, and whether it holds
// any sound at all (samples after the WAV header; at least one MPEG frame). A file of zeros, a
// 0-byte or tag-only MP3 "plays" 0:00 but has no sound. Nothing when ProbeDuration gives nothing.
struct ProbedLength {
    std::int64_t seconds = 0;
    bool hasSound = false;
};
std::optional<ProbedLength> ProbeLength(std::string_view path,
                                        const std::atomic<bool>* stop = nullptr);

}  // namespace chimeon
