#include "core/audio/wave_recording_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string_view>

#include "core/audio/file_error.h"
#include "core/io/atomic_write.h"
#include "core/io/file_descriptor.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kLargestData = UINT32_MAX - 36;  // what the header's sizes can hold

bool WriteHeader(int fd, const WaveFormat& format, std::uint64_t dataBytes) {
    const auto header = WaveHeader(format, static_cast<std::uint32_t>(dataBytes));
    return ::pwrite(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size());
}

}  // namespace

WaveRecordingFile::WaveRecordingFile(const fs::path& target, const WaveFormat& format)
    : target_(ReplacementPath(target)), format_(format) {
    std::error_code error;
    if (!target_.has_filename() || fs::is_directory(target_, error)) {
        throw FileError(FileError::Kind::kAccessDenied, target.string());
    }
    std::string pattern = target_.string() + ".XXXXXX.part";
    fd_ = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd_ < 0) {
        throw FileError(FileError::KindFromErrno(errno), target.string());
    }
    temporary_ = pattern;
    struct stat existing {};
    const mode_t mode = ::stat(target_.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
    if (::fchmod(fd_, mode) != 0 || !WriteHeader(fd_, format_, 0) ||
        ::lseek(fd_, kWaveHeaderSize, SEEK_SET) < 0) {
        const int cause = errno;
        ::close(fd_);
        ::unlink(temporary_.c_str());
        throw FileError(FileError::KindFromErrno(cause), target.string());
    }
}

WaveRecordingFile::~WaveRecordingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!finished_) {
        ::unlink(temporary_.c_str());
    }
}

int WaveRecordingFile::Append(const CWaveBuffer& chunk) {
    std::lock_guard lock(mutex_);
    if (finished_) {
        return EBADF;
    }
    const std::uint64_t bytes = chunk.GetByteSize();
    if (dataBytes_ + bytes > kLargestData) {
        return EFBIG;
    }
    const std::string_view data(reinterpret_cast<const char*>(chunk.GetData()), bytes);
    if (!WriteAllBytes(fd_, data)) {
        const int cause = errno;
        // A chunk written in part is taken back: the file stays a whole WAV.
        if (::ftruncate(fd_, static_cast<off_t>(kWaveHeaderSize + dataBytes_)) == 0) {
            ::lseek(fd_, 0, SEEK_END);
        }
        return cause;
    }
    dataBytes_ += bytes;
    if (!WriteHeader(fd_, format_, dataBytes_) || ::fdatasync(fd_) != 0) {
        return errno;
    }
    return 0;
}

void WaveRecordingFile::Finish() {
    std::lock_guard lock(mutex_);
    if (finished_) {
        return;
    }
    if (!WriteHeader(fd_, format_, dataBytes_) || ::fsync(fd_) != 0 ||
        !RenameIntoPlace(temporary_, target_)) {
        throw FileError(FileError::KindFromErrno(errno), target_.string());
    }
    ::close(fd_);
    fd_ = -1;
    finished_ = true;
}

}  // namespace chimeon
