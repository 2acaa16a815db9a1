#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace chimeon {

namespace detail {
class WaveSource;
}

// An owned block of equal-sized elements (for sound: sample frames).
class CWaveBuffer {
public:
    CWaveBuffer() = default;
    virtual ~CWaveBuffer() = default;
    CWaveBuffer(CWaveBuffer&&) noexcept = default;
    CWaveBuffer& operator=(CWaveBuffer&&) noexcept = default;
    CWaveBuffer(const CWaveBuffer&) = delete;
    CWaveBuffer& operator=(const CWaveBuffer&) = delete;

    // Replaces the block by count × elementSize bytes of undefined content.
    void Allocate(std::uint32_t count, std::uint32_t elementSize);
    // Replaces the block by the given one, which holds count × elementSize bytes.
    void Adopt(std::unique_ptr<std::uint8_t[]> block, std::uint32_t count,
               std::uint32_t elementSize);
    // Without elements yet: allocates count elements first. Then zeroes the whole block and
    // copies the first min(own count, count) elements from `source`; own count and element size
    // stay, and no more than the block holds is ever written.
    void CopyIn(const void* source, std::uint32_t count, std::uint32_t elementSize);

    std::uint32_t GetElementSize() const { return elementSize_; }
    const std::uint8_t* GetData() const { return data_.get(); }
    std::uint8_t* GetData() { return data_.get(); }
    std::uint32_t GetCount() const { return count_; }
    std::uint64_t GetByteSize() const { return std::uint64_t{count_} * elementSize_; }

private:
    std::uint32_t elementSize_ = 0;
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t count_ = 0;
};

// The PCM format record of a sound, laid out as in the WAV header.
struct WaveFormat {
    std::uint16_t formatTag = 1;  // PCM
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;

    bool operator==(const WaveFormat&) const = default;
};

inline constexpr std::size_t kWaveHeaderSize = 44;

// The canonical 44-byte header of a sound in `format` whose data counts `dataSize` bytes.
std::array<std::uint8_t, kWaveHeaderSize> WaveHeader(const WaveFormat& format,
                                                     std::uint32_t dataSize);

// A sound in memory: a format and its sample frames; reads and writes the canonical WAV form
// (a 44-byte header: "RIFF", size, "WAVEfmt ", a 16-byte format body, "data", size, samples).
// Reading anything else raises FileError of kind kInvalidFile and leaves the object unchanged.
class CWave {
public:
    CWave() = default;
    virtual ~CWave() = default;
    CWave(const CWave& other);
    CWave& operator=(const CWave& other);
    CWave(CWave&&) noexcept = default;
    CWave& operator=(CWave&&) noexcept = default;

    // PCM with the given values; the frames become empty with the new block align.
    void SetFormat(std::uint16_t channels, std::uint32_t samplesPerSec,
                   std::uint16_t bitsPerSample);
    WaveFormat GetFormat() const { return format_; }

    std::uint32_t GetFrameCount() const { return frames_.GetCount(); }
    const std::uint8_t* GetData() const { return frames_.GetData(); }
    std::uint64_t GetByteSize() const {
        return std::uint64_t{frames_.GetCount()} * format_.blockAlign;
    }
    const CWaveBuffer& GetFrames() const { return frames_; }

    // Copies `count` frames of the current block align in (see CWaveBuffer::CopyIn).
    void SetData(const void* block, std::uint32_t count);
    // Takes ownership of a block of count frames of the current block align.
    void SetData(std::unique_ptr<std::uint8_t[]> block, std::uint32_t count);

    // The canonical file form. Read raises FileError (kInvalidFile) for anything else; a data
    // chunk shorter than its declared size yields the whole frames it holds.
    void Read(std::istream& in, std::string_view name = {});
    // Raises FileError when the stream fails or the sound is too large for the header's sizes.
    void Write(std::ostream& out) const;
    // Raise FileError when the file cannot be opened, created or written, or is not canonical.
    // Save replaces the file atomically: a failed save leaves an existing file as it was.
    void Load(std::string_view path);
    void Save(std::string_view path) const;

private:
    void ReadFrom(detail::WaveSource& source, std::string_view name);

    CWaveBuffer frames_;
    WaveFormat format_;
};

}  // namespace chimeon
