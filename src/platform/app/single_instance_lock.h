#pragma once

#include <filesystem>
#include <memory>

namespace chimeon {

// Held for the life of the process so that a second copy can see the first. The system drops
// the lock when the process ends, a crash included, so a stale lock never blocks a restart.
class SingleInstanceLock {
public:
    // The lock, or nothing when another process holds it (or the lock file cannot be made:
    // then `failed` is set, and the caller decides whether to run unguarded).
    static std::unique_ptr<SingleInstanceLock> TryAcquire(const std::filesystem::path& lockFile,
                                                          bool* failed = nullptr);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    explicit SingleInstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// $XDG_RUNTIME_DIR/chimeon.lock when that folder exists (one per user and session), otherwise
// "chimeon.lock" in the data directory.
std::filesystem::path DefaultInstanceLockFile(const std::filesystem::path& dataDirectory);

}  // namespace chimeon
