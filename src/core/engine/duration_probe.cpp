#include "core/engine/duration_probe.h"

#include <cstdint>
#include <cstring>

#include "core/io/case_folding_lookup.h"
#include "core/io/read_only_file.h"
#include "core/mp3/mp3_info.h"
#include "core/schedule/media_kind.h"

namespace chimeon {
namespace {

// Only the tags and the byte rate are looked at; the samples are taken to start at byte 44.
std::optional<ProbedLength> ProbeWave(const ReadOnlyFile& file) {
    unsigned char h[40];
    if (file.ReadAt(0, h, sizeof h) != sizeof h || std::memcmp(h, "RIFF", 4) != 0 ||
        std::memcmp(h + 8, "WAVE", 4) != 0 || std::memcmp(h + 12, "fmt", 3) != 0) {
        return std::nullopt;
    }
    auto byteRate =
        static_cast<std::int32_t>(std::uint32_t{h[28]} | (std::uint32_t{h[29]} << 8) |
                                  (std::uint32_t{h[30]} << 16) | (std::uint32_t{h[31]} << 24));
    std::uint64_t size = file.Size();
    // No rate to divide by, or no room for the header: no length can be told.
    if (byteRate <= 0 || size < 44) {
        return std::nullopt;
    }
    // Rounded to the nearest second, halves up; 64-bit, so files over 4 GiB are measured too.
    double seconds = static_cast<double>(size - 44) / byteRate + 0.5;
    return ProbedLength{seconds < 9.0e18 ? static_cast<std::int64_t>(seconds) : INT64_MAX,
                        size > 44};
}

}  // namespace

std::optional<std::string> ProbeDuration(std::string_view path, const std::atomic<bool>* stop) {
    auto length = ProbeLength(path, stop);
    if (!length) {
        return std::nullopt;
    }
    return FormatPlayTime64(length->seconds);
}

std::optional<ProbedLength> ProbeLength(std::string_view path, const std::atomic<bool>* stop) {
    const MediaKind kind = MediaKindOf(path);
    if (kind != MediaKind::kMp3 && kind != MediaKind::kWave) {
        return std::nullopt;  // ".wav" or ".mp3" only inside the path, or neither
    }
    const bool isWave = kind == MediaKind::kWave;
    std::optional<std::filesystem::path> resolved = ResolvePathIgnoringCase(path);
    if (!resolved) {
        return std::nullopt;
    }
    if (isWave) {
        std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(*resolved);
        if (!file) {
            return std::nullopt;
        }
        return ProbeWave(*file);
    }
    CMp3Info info;
    if (!info.Load(resolved->string(), stop)) {
        return std::nullopt;
    }
    return ProbedLength{info.GetPlayTime(), info.GetFrameCount() > 0};
}

}  // namespace chimeon
