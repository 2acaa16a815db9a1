#include "core/io/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace chimeon {

std::optional<ReadOnlyFile> ReadOnlyFile::Open(const std::filesystem::path& path, int* error) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused just below.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (error != nullptr) {
            *error = errno;
        }
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (error != nullptr) {
            *error = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
        }
        ::close(fd);
        return std::nullopt;
    }
    return ReadOnlyFile(fd);
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::uint64_t ReadOnlyFile::Size() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || info.st_size < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (offset >= kMaxOffset) {
        return 0;
    }
    std::size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < size && offset + done < kMaxOffset) {
        ssize_t got = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace chimeon
