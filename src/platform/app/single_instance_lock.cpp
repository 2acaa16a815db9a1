#include "platform/app/single_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "core/io/file_problem.h"
#include "core/system/log.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

// Locks the open file `fd` without waiting: 0 locked, EWOULDBLOCK held by another process,
// another errno when the file cannot be locked at all.
int LockWithoutWaiting(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

void SetFailed(bool* failed, bool value) {
    if (failed != nullptr) {
        *failed = value;
    }
}

// Why the data directory cannot be written, in the operator's words; "" when it can.
std::string WriteProblem(const fs::path& dataDirectory) {
    if (::access(dataDirectory.c_str(), W_OK) == 0) {
        return {};
    }
    const int error = errno;
    return "“" + dataDirectory.string() + "”" +
           (error == EACCES || error == EPERM ? std::string("没有写入权限") : FileErrorText(error));
}

// `lockFile` is locked by another process; `ownOnly`: a file of another user does not count.
// Looked at by a shared lock released at once, which a copy taking the lock at that instant
// finds held: Acquire tries again once after kLookPauseMs.
bool LockedByOther(const fs::path& lockFile, bool ownOnly) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | (ownOnly ? O_NOFOLLOW : 0));
    if (fd < 0) {
        return false;  // a missing file is held by no one: holders keep theirs
    }
    struct stat owner {};
    bool held = false;
    if (!ownOnly || (::fstat(fd, &owner) == 0 && owner.st_uid == ::geteuid())) {
        int result = 0;
        while ((result = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
        }
        held = result != 0 && errno == EWOULDBLOCK;
    }
    ::close(fd);
    return held;
}

constexpr int kLookPauseMs = 100;

}  // namespace

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquire(const fs::path& lockFile,
                                                                   bool* failed) {
    SetFailed(failed, false);
    int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        SetFailed(failed, true);
        return nullptr;
    }
    if (int error = LockWithoutWaiting(fd); error != 0) {
        SetFailed(failed, error != EWOULDBLOCK);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd, {}));
}

std::unique_ptr<SingleInstanceLock> SingleInstanceLock::TryAcquirePrivate(const fs::path& lockFile,
                                                                          bool* failed) {
    SetFailed(failed, false);
    // A holder removes the file on its way out: a copy that locked the removed file tries again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            break;
        }
        struct stat owner {};
        if (::fstat(fd, &owner) != 0 || owner.st_uid != ::geteuid()) {
            // Another user's file under our name (in /tmp, say) is no copy of ours: holding it
            // must not keep us from broadcasting.
            ::close(fd);
            break;
        }
        if (int error = LockWithoutWaiting(fd); error != 0) {
            SetFailed(failed, error != EWOULDBLOCK);
            ::close(fd);
            return nullptr;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::lstat(lockFile.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            (void)::fchmod(fd, S_ISVTX | S_IRUSR | S_IWUSR);  // clean-ups skip sticky files
            return std::unique_ptr<SingleInstanceLock>(new SingleInstanceLock(fd, lockFile));
        }
        ::close(fd);
    }
    SetFailed(failed, true);
    return nullptr;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (!removedOnRelease_.empty()) {
        ::unlink(removedOnRelease_.c_str());  // still locked: no copy can take it in between
    }
    ::close(fd_);
}

fs::path InstanceLockFile(const fs::path& dataDirectory, std::string_view lockName) {
    return dataDirectory / (std::string(lockName) + ".lock");
}

std::vector<fs::path> RuntimeLockFiles(dev_t device, ino_t inode, const char* runtimeFolder,
                                       uid_t user, std::string_view lockName) {
    std::vector<fs::path> files;
    const std::string name =
        std::string(lockName) + "-" + std::to_string(device) + "-" + std::to_string(inode);
    if (runtimeFolder != nullptr && runtimeFolder[0] == '/') {
        files.push_back(fs::path(runtimeFolder) / (name + ".lock"));
    }
    const fs::path session = "/run/user/" + std::to_string(user);
    struct stat info {};
    std::error_code error;
    // Taken once: a second lock of the same file in this process would find the first.
    if (::stat(session.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user &&
        (files.empty() || !fs::equivalent(files.front().parent_path(), session, error))) {
        files.push_back(session / (name + ".lock"));
    }
    files.push_back("/tmp/" + name + "-" + std::to_string(user) + ".lock");
    return files;
}

std::unique_ptr<BroadcasterLock> BroadcasterLock::Acquire(const fs::path& dataDirectory,
                                                          const char* runtimeFolder,
                                                          std::string_view lockName) {
    if (auto lock = AcquireOnce(dataDirectory, runtimeFolder, lockName)) {
        return lock;
    }
    // Held for an instant by a window that only looked (HeldElsewhere), or really held.
    ::usleep(kLookPauseMs * 1000);
    return AcquireOnce(dataDirectory, runtimeFolder, lockName);
}

bool BroadcasterLock::HeldElsewhere(const fs::path& dataDirectory, const char* runtimeFolder,
                                    std::string_view lockName) {
    if (LockedByOther(InstanceLockFile(dataDirectory, lockName), false)) {
        return true;
    }
    struct stat folder {};
    if (::stat(dataDirectory.c_str(), &folder) != 0) {
        return false;
    }
    for (const fs::path& file :
         RuntimeLockFiles(folder.st_dev, folder.st_ino, runtimeFolder, ::geteuid(), lockName)) {
        if (LockedByOther(file, true)) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<BroadcasterLock> BroadcasterLock::AcquireOnce(const fs::path& dataDirectory,
                                                              const char* runtimeFolder,
                                                              std::string_view lockName) {
    auto lock = std::make_unique<BroadcasterLock>();
    bool failed = false;
    lock->dataFolderLock_ =
        SingleInstanceLock::TryAcquire(InstanceLockFile(dataDirectory, lockName), &failed);
    if (!lock->dataFolderLock_ && !failed) {
        return nullptr;
    }
    struct stat folder {};
    if (::stat(dataDirectory.c_str(), &folder) == 0) {
        for (const fs::path& file :
             RuntimeLockFiles(folder.st_dev, folder.st_ino, runtimeFolder, ::geteuid(), lockName)) {
            if (auto held = SingleInstanceLock::TryAcquirePrivate(file, &failed)) {
                lock->runtimeLocks_.push_back(std::move(held));
            } else if (!failed) {
                return nullptr;
            }
        }
    }
    lock->dataFolderProblem_ = WriteProblem(dataDirectory);
    return lock;
}

void BroadcasterLock::LogProblems() const {
    if (!dataFolderProblem_.empty()) {
        Log(LogLevel::kWarning, "data",
            "the data directory cannot be written: " + dataFolderProblem_);
    }
    if (!runtimeLockHeld()) {
        Log(LogLevel::kWarning, "lock",
            "no lock in the runtime folder or /tmp: a second copy on this data directory would "
            "not be seen");
    }
}

}  // namespace chimeon
