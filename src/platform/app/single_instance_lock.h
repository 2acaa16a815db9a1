#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    // As TryAcquire, for a lock file of this user's own in a shared or cleaned-up folder: never
    // through a symbolic link, marked sticky so that no clean-up of the folder removes it while
    // held, and removed again on release.
    static std::unique_ptr<SingleInstanceLock> TryAcquirePrivate(
        const std::filesystem::path& lockFile, bool* failed = nullptr);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    SingleInstanceLock(int fd, std::filesystem::path removedOnRelease)
        : fd_(fd), removedOnRelease_(std::move(removedOnRelease)) {}
    int fd_;
    std::filesystem::path removedOnRelease_;
};

// The names of the locks: the broadcaster's, and the window's own (one window per data directory,
// beside the one broadcaster it talks to).
inline constexpr std::string_view kBroadcasterLockName = "chimeon";
inline constexpr std::string_view kWindowLockName = "chimeon-window";

// "chimeon.lock" in the data directory: one data directory has one broadcaster, whoever starts
// it and from wherever (a desktop session, cron, a service, sudo).
std::filesystem::path InstanceLockFile(const std::filesystem::path& dataDirectory,
                                       std::string_view lockName = kBroadcasterLockName);

// The second lock of a data directory, which can be taken whatever the data directory allows:
// named by its device and inode (so every name of it is the same), in each of this user's
// runtime folders: `runtimeFolder` ($XDG_RUNTIME_DIR, when set), the session's /run/user/UID,
// and /tmp under a name with the user's number, which copies without a session (cron, a
// service) and copies in other sessions share.
std::vector<std::filesystem::path> RuntimeLockFiles(
    dev_t device, ino_t inode, const char* runtimeFolder, uid_t user,
    std::string_view lockName = kBroadcasterLockName);

// What a broadcaster holds on its data directory: its "chimeon.lock" when that can be taken
// (another user's copy sees it), and always the runtime locks (every one that can be made), so
// that a read-only data directory, or a "chimeon.lock" that is a folder, still has one
// broadcaster.
class BroadcasterLock {
public:
    // The locks, or nothing when another copy holds one of them (the caller then ends silently).
    // Runtime locks that cannot be made at all are no other copy: running beats not broadcasting.
    // `lockName`: kWindowLockName for the window's own locks, taken the same way.
    static std::unique_ptr<BroadcasterLock> Acquire(
        const std::filesystem::path& dataDirectory, const char* runtimeFolder,
        std::string_view lockName = kBroadcasterLockName);
    // Another process holds one of the locks Acquire would take (a broadcaster of this data
    // directory runs, from whatever login or bus). Only looks: no lock file is made, and a lock
    // file of another user in a shared folder is no copy of ours, as for Acquire.
    static bool HeldElsewhere(const std::filesystem::path& dataDirectory, const char* runtimeFolder,
                              std::string_view lockName = kBroadcasterLockName);
    // Why the data directory cannot be written, for the operator ("" when it can): settings and
    // tables changed now are not kept.
    const std::string& dataFolderProblem() const { return dataFolderProblem_; }
    bool runtimeLockHeld() const { return !runtimeLocks_.empty(); }
    // Tells the administrator what the locks could not guard: an unwritable data directory, or
    // no runtime lock at all.
    void LogProblems() const;

private:
    static std::unique_ptr<BroadcasterLock> AcquireOnce(const std::filesystem::path& dataDirectory,
                                                        const char* runtimeFolder,
                                                        std::string_view lockName);

    std::unique_ptr<SingleInstanceLock> dataFolderLock_;
    std::vector<std::unique_ptr<SingleInstanceLock>> runtimeLocks_;
    std::string dataFolderProblem_;
};

}  // namespace chimeon
