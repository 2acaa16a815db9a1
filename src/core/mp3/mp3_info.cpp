#include "core/mp3/mp3_info.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "core/io/read_only_file.h"
#include "core/text/gbk_codec.h"

namespace chimeon {
namespace {

// A search examines its starting position and at most this many further byte positions.
constexpr int kMaxSyncMisses = 10000;
constexpr std::size_t kTagSize = 128;
constexpr std::size_t kWindowSize = 1 << 20;
// How many frames pass between two looks at the stop flag.
constexpr std::uint32_t kStopCheckInterval = 4096;

// kbit/s by bitrate index; 0 is free format, -1 the forbidden index 15.
constexpr std::array<std::array<int, 16>, 3> kMpeg1Bitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},      // Layer III
}};
// The low-sampling-frequency table, used by every version but MPEG 1.
constexpr std::array<std::array<int, 16>, 3> kLowRateBitrates = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},       // Layer II
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},       // Layer III
}};

// Hz by version code (0 reserved, 1 MPEG 2.5, 2 MPEG 2, 3 MPEG 1) and index; 0: keep the last.
constexpr std::array<std::array<int, 4>, 4> kSampleRates = {{
    {0, 0, 0, 0},
    {11025, 12000, 8000, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
}};

constexpr std::array<int, 4> kVersionByCode = {1, 0, 2, 3};
constexpr std::array<int, 4> kLayerByCode = {0, 3, 2, 1};

int Bitrate(int version, int layer, std::uint32_t index) {
    if (layer < 1 || layer > 3) {
        return 0;
    }
    const auto& table = version == 3 ? kMpeg1Bitrates : kLowRateBitrates;
    return table[static_cast<std::size_t>(layer - 1)][index];
}

// Bytes in a frame, from the frame's own bitrate and padding, the stream's layer and version.
int FrameLength(int layer, int version, int bitrate, int sampleRate, int padding) {
    if (layer == 1) {
        return (bitrate * 12000 / sampleRate + padding) * 4;
    }
    if (layer == 3 && (version == 2 || version == 1)) {
        return bitrate * 72000 / sampleRate + padding;
    }
    return bitrate * 144000 / sampleRate + padding;
}

// What a frame header means once the stream's version and layer are known.
struct FrameShape {
    bool known = false;
    int bitrate = 0;
    int sampleRate = 0;
    int length = 0;
    double seconds = 0;  // play time the frame adds
};

// Reads the file through a large window, so the walk costs one system call per window, not one
// per header or per byte of a sync search.
class WindowReader {
public:
    explicit WindowReader(const ReadOnlyFile& file)
        : file_(file), buffer_(std::min<std::uint64_t>(kWindowSize, file.Size() + 4)) {}

    // The big-endian value of the four bytes at `offset`; nothing when fewer are left.
    std::optional<std::uint32_t> Read4(std::uint64_t offset) {
        if (offset < base_ || offset - base_ + 4 > length_) {
            if (buffer_.size() < 4) {
                buffer_.resize(4);
            }
            base_ = offset;
            length_ = file_.ReadAt(offset, buffer_.data(), buffer_.size());
            if (length_ < 4) {
                return std::nullopt;
            }
        }
        const unsigned char* p = buffer_.data() + (offset - base_);
        return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
               (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    }

private:
    const ReadOnlyFile& file_;
    std::vector<unsigned char> buffer_;
    std::uint64_t base_ = 0;
    std::size_t length_ = 0;
};

// Looks for the eleven sync bits at `position` and the byte positions after it. On success
// `position` stands just behind the header's four bytes.
std::optional<std::uint32_t> FindFrameHeader(WindowReader& reader, std::uint64_t& position) {
    for (int misses = 0;; ++position) {
        std::optional<std::uint32_t> header = reader.Read4(position);
        if (!header) {
            return std::nullopt;
        }
        if ((*header & 0xFFE00000u) == 0xFFE00000u) {
            position += 4;
            return header;
        }
        if (++misses > kMaxSyncMisses) {
            return std::nullopt;
        }
    }
}

// Where the first sync search starts: behind a well-formed leading ID3v2 tag (cover art makes
// these hundreds of kilobytes, far beyond the search's reach), otherwise at the start.
std::uint64_t FirstSearchOffset(const ReadOnlyFile& file, std::uint64_t fileSize) {
    unsigned char h[10];
    if (file.ReadAt(0, h, sizeof h) != sizeof h || std::memcmp(h, "ID3", 3) != 0) {
        return 0;
    }
    int major = h[3];
    if (major < 2 || major > 4 || h[4] == 0xFF || (h[6] | h[7] | h[8] | h[9]) & 0x80) {
        return 0;
    }
    std::uint64_t size = (std::uint64_t{h[6]} << 21) | (std::uint64_t{h[7]} << 14) |
                         (std::uint64_t{h[8]} << 7) | std::uint64_t{h[9]};
    std::uint64_t end = 10 + size;
    if (major == 4 && (h[5] & 0x10) != 0) {
        end += 10;  // footer
    }
    return end <= fileSize ? end : 0;
}

// A tag text ends at its first zero byte or at the end of its field.
std::string TagText(const unsigned char* field, std::size_t width) {
    const auto* end = static_cast<const unsigned char*>(std::memchr(field, 0, width));
    return std::string(reinterpret_cast<const char*>(field),
                       end ? static_cast<std::size_t>(end - field) : width);
}

}  // namespace

CMp3Info::CMp3Info(std::string_view path) {
    if (!path.empty()) {
        Load(path);
    }
}

void CMp3Info::Reset() {
    *this = CMp3Info();
}

bool CMp3Info::Load(std::string_view path) {
    return Load(path, nullptr);
}

bool CMp3Info::Load(std::string_view path, const std::atomic<bool>* stop) {
    Reset();
    std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(std::string(path));
    if (!file) {
        return false;
    }
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };

    WindowReader reader(*file);
    std::array<FrameShape, 128> shapes{};
    std::uint32_t bitrateSum = 0;
    double playTimeSum = 0;
    std::uint64_t position = FirstSearchOffset(*file, file->Size());
    while (std::optional<std::uint32_t> found = FindFrameHeader(reader, position)) {
        std::uint32_t header = *found;
        if (frameCount_ == 0) {
            version_ = kVersionByCode[(header >> 19) & 3];
            layer_ = kLayerByCode[(header >> 17) & 3];
            crcPresent_ = ((header >> 16) & 1) == 0 ? 1 : 0;
        }
        // Version and layer are fixed by the first header, so a frame's shape depends only on
        // its bitrate, sample-rate and padding bits (and, for rate index 3, the rate before).
        std::uint32_t rateIndex = (header >> 10) & 3;
        FrameShape& cached = shapes[(header >> 9) & 0x7F];
        FrameShape computed;
        const FrameShape* shape = &cached;
        if (rateIndex == 3 || !cached.known) {
            computed.bitrate = Bitrate(version_, layer_, (header >> 12) & 15);
            int rate = kSampleRates[static_cast<std::size_t>(version_)][rateIndex];
            computed.sampleRate = rate != 0 ? rate : sampleRate_;
            if (computed.sampleRate != 0) {
                computed.length =
                    FrameLength(layer_, version_, computed.bitrate, computed.sampleRate,
                                static_cast<int>((header >> 9) & 1));
                // The forbidden index reads as -1 kbit/s; like free format it adds no play time
                // (a negative "duration" would only make the total wrong).
                if (computed.bitrate > 0) {
                    computed.seconds = static_cast<double>(computed.length * 8) /
                                       static_cast<double>(computed.bitrate * 1000);
                }
            }
            computed.known = true;
            if (rateIndex != 3) {
                cached = computed;
            }
            shape = &computed;
        }
        if (shape->bitrate > 0) {
            bitrateSum += static_cast<std::uint32_t>(shape->bitrate);
        }
        sampleRate_ = shape->sampleRate;
        if (sampleRate_ == 0) {
            break;
        }
        channelMode_ = static_cast<int>((header >> 6) & 3);
        copyright_ = static_cast<int>((header >> 3) & 1);
        original_ = static_cast<int>((header >> 2) & 1);
        emphasis_ = static_cast<int>(header & 3);
        int length = shape->length;
        ++frameCount_;
        playTimeSum += shape->seconds;
        if (length > 4) {
            position += static_cast<std::uint64_t>(length - 4);
        }
        if (frameCount_ % kStopCheckInterval == 0 && stopped()) {
            Reset();
            return false;
        }
    }
    if (stopped()) {
        Reset();
        return false;
    }
    if (frameCount_ > 0) {
        status_ |= kMp3FramesCounted;
        averageBitrate_ = static_cast<int>(bitrateSum / frameCount_);
        playTime_ = playTimeSum >= static_cast<double>(std::numeric_limits<int>::max())
                        ? std::numeric_limits<int>::max()
                        : static_cast<int>(playTimeSum);
    }

    std::uint64_t size = file->Size();
    unsigned char tag[kTagSize];
    if (size >= kTagSize && file->ReadAt(size - kTagSize, tag, kTagSize) == kTagSize &&
        std::memcmp(tag, "TAG", 3) == 0) {
        title_ = TagText(tag + 3, 30);
        artist_ = TagText(tag + 33, 30);
        album_ = TagText(tag + 63, 30);
        year_ = TagText(tag + 93, 4);
        if (tag[125] != 0) {
            comment_ = TagText(tag + 97, 30);
        } else {
            comment_ = TagText(tag + 97, 28);
            track_ = tag[126];
        }
        genre_ = tag[127];
        status_ |= kMp3TagRead;
    }
    path_ = std::string(path);
    return true;
}

std::string CMp3Info::GetArtist() const {
    return DecodeGbk(artist_);
}
std::string CMp3Info::GetTitle() const {
    return DecodeGbk(title_);
}
std::string CMp3Info::GetAlbum() const {
    return DecodeGbk(album_);
}
std::string CMp3Info::GetComment() const {
    return DecodeGbk(comment_);
}
std::string CMp3Info::GetYear() const {
    return DecodeGbk(year_);
}

std::string FormatPlayTime(int seconds) {
    return FormatPlayTime64(seconds);
}

std::string FormatPlayTime64(std::int64_t seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace chimeon
