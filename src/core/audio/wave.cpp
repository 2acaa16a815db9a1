#include "core/audio/wave.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/audio/file_error.h"
#include "core/io/atomic_write.h"
#include "core/io/read_only_file.h"

namespace chimeon {
namespace {

constexpr std::size_t kReadChunk = 1 << 20;

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
void PutLe16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void PutLe32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

std::unique_ptr<std::uint8_t[]> NewBlock(std::uint64_t bytes) {
    if (bytes > SIZE_MAX) {
        throw std::bad_alloc();
    }
    return std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(bytes));
}

}  // namespace

std::array<std::uint8_t, kWaveHeaderSize> WaveHeader(const WaveFormat& format,
                                                     std::uint32_t dataSize) {
    std::array<std::uint8_t, kWaveHeaderSize> header{};
    unsigned char* h = header.data();
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, dataSize + 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, format.formatTag);
    PutLe16(h + 22, format.channels);
    PutLe32(h + 24, format.samplesPerSec);
    PutLe32(h + 28, format.avgBytesPerSec);
    PutLe16(h + 32, format.blockAlign);
    PutLe16(h + 34, format.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataSize);
    return header;
}

namespace detail {

// Where Read takes its bytes from: an open stream or an open file.
class WaveSource {
public:
    virtual ~WaveSource() = default;
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Bytes left, when that can be told.
    virtual std::optional<std::uint64_t> Remaining() = 0;
};

}  // namespace detail

namespace {

class StreamSource : public detail::WaveSource {
public:
    explicit StreamSource(std::istream& in) : in_(in) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(in_.gcount());
    }
    std::optional<std::uint64_t> Remaining() override {
        std::streampos here = in_.tellg();
        if (here < 0 || !in_.seekg(0, std::ios::end)) {
            in_.clear();
            return std::nullopt;
        }
        std::streampos end = in_.tellg();
        in_.seekg(here);
        if (!in_ || end < here) {
            in_.clear();
            in_.seekg(here);
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(end - here);
    }

private:
    std::istream& in_;
};

class FileSource : public detail::WaveSource {
public:
    explicit FileSource(const ReadOnlyFile& file) : file_(file) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t got = file_.ReadAt(offset_, buffer, size);
        offset_ += got;
        return got;
    }
    std::optional<std::uint64_t> Remaining() override {
        std::uint64_t size = file_.Size();
        return size > offset_ ? size - offset_ : 0;
    }

private:
    const ReadOnlyFile& file_;
    std::uint64_t offset_ = 0;
};

}  // namespace

void CWaveBuffer::Allocate(std::uint32_t count, std::uint32_t elementSize) {
    data_ = NewBlock(std::uint64_t{count} * elementSize);
    count_ = count;
    elementSize_ = elementSize;
}

void CWaveBuffer::Adopt(std::unique_ptr<std::uint8_t[]> block, std::uint32_t count,
                        std::uint32_t elementSize) {
    data_ = std::move(block);
    count_ = count;
    elementSize_ = elementSize;
}

void CWaveBuffer::CopyIn(const void* source, std::uint32_t count, std::uint32_t elementSize) {
    // An empty buffer (new, or just given a format) takes the count offered; copying into its
    // zero elements would silently drop the sound.
    if (!data_ || count_ == 0) {
        Allocate(count, elementSize);
    }
    std::uint64_t bytes = std::uint64_t{std::min(count_, count)} * elementSize;
    if (bytes == 0) {
        return;
    }
    std::uint64_t blockBytes = GetByteSize();
    std::memset(data_.get(), 0, static_cast<std::size_t>(blockBytes));
    // A larger element size than the block's must not write past the block's end.
    std::memcpy(data_.get(), source, static_cast<std::size_t>(std::min(bytes, blockBytes)));
}

CWave::CWave(const CWave& other) : format_(other.format_) {
    frames_.Allocate(other.frames_.GetCount(), format_.blockAlign);
    frames_.CopyIn(other.frames_.GetData(), other.frames_.GetCount(), format_.blockAlign);
}

CWave& CWave::operator=(const CWave& other) {
    if (this != &other) {
        CWave copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void CWave::SetFormat(std::uint16_t channels, std::uint32_t samplesPerSec,
                      std::uint16_t bitsPerSample) {
    format_.formatTag = 1;
    format_.channels = channels;
    format_.samplesPerSec = samplesPerSec;
    format_.bitsPerSample = bitsPerSample;
    std::uint32_t bitsPerFrame = std::uint32_t{channels} * bitsPerSample;
    format_.blockAlign = static_cast<std::uint16_t>(bitsPerFrame / 8);
    format_.avgBytesPerSec = bitsPerFrame * samplesPerSec / 8;
    frames_.Allocate(0, format_.blockAlign);
}

void CWave::SetData(const void* block, std::uint32_t count) {
    frames_.CopyIn(block, count, format_.blockAlign);
}

void CWave::SetData(std::unique_ptr<std::uint8_t[]> block, std::uint32_t count) {
    frames_.Adopt(std::move(block), count, format_.blockAlign);
}

void CWave::Read(std::istream& in, std::string_view name) {
    StreamSource source(in);
    ReadFrom(source, name);
}

void CWave::ReadFrom(detail::WaveSource& source, std::string_view name) {
    unsigned char h[kWaveHeaderSize];
    std::size_t got = source.Read(h, sizeof h);
    // A header cut short is as invalid as a wrong one; nothing is stored either way.
    if (got < sizeof h || std::memcmp(h, "RIFF", 4) != 0 ||
        std::memcmp(h + 8, "WAVEfmt ", 8) != 0 || std::memcmp(h + 36, "data", 4) != 0) {
        throw FileError(FileError::Kind::kInvalidFile, std::string(name));
    }
    WaveFormat format;
    format.formatTag = Le16(h + 20);
    format.channels = Le16(h + 22);
    format.samplesPerSec = Le32(h + 24);
    format.avgBytesPerSec = Le32(h + 28);
    format.blockAlign = Le16(h + 32);
    format.bitsPerSample = Le16(h + 34);
    format.extraSize = format_.extraSize;
    if (format.blockAlign == 0) {
        throw FileError(FileError::Kind::kInvalidFile, std::string(name));  // no frame size
    }
    std::uint32_t dataSize = Le32(h + 40);
    std::uint64_t wanted = std::uint64_t{dataSize / format.blockAlign} * format.blockAlign;

    // Grow with what actually arrives: a damaged size field never allocates more than the
    // file holds, and bytes that are not there are never handed out as sound.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(wanted, source.Remaining().value_or(kReadChunk))));
    while (bytes.size() < wanted) {
        std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted - bytes.size(), kReadChunk));
        std::size_t before = bytes.size();
        bytes.resize(before + step);
        std::size_t read = source.Read(bytes.data() + before, step);
        bytes.resize(before + read);
        if (read < step) {
            break;
        }
    }
    auto count = static_cast<std::uint32_t>(bytes.size() / format.blockAlign);
    std::uint64_t keep = std::uint64_t{count} * format.blockAlign;
    auto block = NewBlock(keep);
    if (keep > 0) {
        std::memcpy(block.get(), bytes.data(), static_cast<std::size_t>(keep));
    }
    format_ = format;
    frames_.Adopt(std::move(block), count, format.blockAlign);
}

void CWave::Write(std::ostream& out) const {
    // The header's sizes count exactly the bytes written after it: the frames' block is count ×
    // element size, which may be less than count × block align.
    std::uint64_t available = frames_.GetData() != nullptr ? frames_.GetByteSize() : 0;
    std::uint64_t size64 = std::min<std::uint64_t>(GetByteSize(), available);
    if (size64 > UINT32_MAX - 36) {
        throw FileError(FileError::Kind::kGeneric, {});  // the size fields cannot hold it
    }
    const auto header = WaveHeader(format_, static_cast<std::uint32_t>(size64));
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    if (size64 > 0) {
        out.write(reinterpret_cast<const char*>(frames_.GetData()),
                  static_cast<std::streamsize>(size64));
    }
    if (!out) {
        throw FileError(FileError::Kind::kHardIo, {});
    }
}

void CWave::Load(std::string_view path) {
    int error = 0;
    std::optional<ReadOnlyFile> file = ReadOnlyFile::Open(std::string(path), &error);
    if (!file) {
        throw FileError(FileError::KindFromErrno(error), std::string(path));
    }
    FileSource source(*file);
    ReadFrom(source, path);
}

void CWave::Save(std::string_view path) const {
    std::ostringstream out;
    Write(out);
    errno = 0;
    if (!WriteFileAtomically(std::string(path), out.view())) {
        throw FileError(FileError::KindFromErrno(errno), std::string(path));
    }
}

}  // namespace chimeon
