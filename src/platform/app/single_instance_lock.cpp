#include "platform/app/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace chimeon {

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquire(
    const std::filesystem::path& lockFile, bool* failed) {
    if (failed != nullptr) {
        *failed = false;
    }
    int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        if (failed != nullptr) {
            *failed = true;
        }
        return nullptr;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (failed != nullptr && errno != EWOULDBLOCK) {
            *failed = true;
        }
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd));
}

SingleInstanceLock::~SingleInstanceLock() {
    ::close(fd_);
}

std::filesystem::path InstanceLockFile(const std::filesystem::path& dataDirectory) {
    return dataDirectory / "chimeon.lock";
}

}  // namespace chimeon
