#pragma once

#include <filesystem>
#include <memory>

namespace chimeon {

// Held for the life of the process so that a second copy can see the first. The system drops
// the lock when the process ends, a crash included, so a stale lock never blocks a restart.
class SingleInstanceLock {
public:
    // The lock, or nothing when another process holds it (or the lock file cannot be made:
    // then `failed` is set, and the caller decides whether to run unguarded). A lock file this
    // user may only read (another user's copy made it) still locks.
    static std::unique_ptr<SingleInstanceLock> TryAcquire(const std::filesystem::path& lockFile,
                                                          bool* failed = nullptr);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    explicit SingleInstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// "chimeon.lock" in the data directory: one data directory has one broadcaster, whoever starts
// it and from wherever (a desktop session, cron, a service, sudo).
std::filesystem::path InstanceLockFile(const std::filesystem::path& dataDirectory);

}  // namespace chimeon
