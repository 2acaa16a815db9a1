#include "core/io/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace chimeon {
namespace fs = std::filesystem;

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileDescriptor::Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

std::optional<std::string> ReadFileBytes(const fs::path& path, int* error) {
    auto fail = [error](int code) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = code;
        }
        return std::nullopt;
    };
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        return fail(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return fail(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(S_ISDIR(info.st_mode) ? EISDIR : ENXIO);
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

bool WriteAllBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace chimeon
