#include "platform/app/single_instance_lock.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"
#include "support/write_failures.h"

namespace chimeon {
namespace {

using test::TempDir;

// Whether another process (of another user, when `uid` is given) could take the lock now.
bool ChildCanAcquire(const std::filesystem::path& lockFile, uid_t uid = 0) {
    pid_t child = ::fork();
    if (child == 0) {
        if (uid != 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0)) {
            ::_exit(2);
        }
        ::_exit(SingleInstanceLock::TryAcquire(lockFile) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SingleInstanceLock, CrashedHolderNeverBlocksARestart) {
    TempDir dir;
    auto lockFile = dir / "chimeon.lock";
    pid_t child = ::fork();
    if (child == 0) {
        auto lock = SingleInstanceLock::TryAcquire(lockFile);
        ::abort();  // dies holding the lock
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_NE(SingleInstanceLock::TryAcquire(lockFile), nullptr);

    // A lock file that cannot be made is a failure, not another copy.
    bool failed = false;
    EXPECT_EQ(SingleInstanceLock::TryAcquire(dir / "no-folder/chimeon.lock", &failed), nullptr);
    EXPECT_TRUE(failed);
}

TEST(SingleInstanceLock, AnotherUsersCopyOfTheSameDataDirectoryIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can start a copy as another user";
    }
    constexpr uid_t kNobody = 65534;
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    auto lockFile = dir / "chimeon.lock";
    auto first = SingleInstanceLock::TryAcquire(lockFile);
    ASSERT_NE(first, nullptr);
    std::filesystem::permissions(lockFile, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);  // whatever the umask
    EXPECT_FALSE(ChildCanAcquire(lockFile, kNobody)) << "a file it may only read still locks";
    first.reset();
    EXPECT_TRUE(ChildCanAcquire(lockFile, kNobody));
}

// Whether a copy started now in another process, with `runtime` as its runtime folder (none when
// null), would broadcast from `data`.
bool ChildBroadcasts(const std::filesystem::path& data, const char* runtime) {
    pid_t child = ::fork();
    if (child == 0) {
        const bool broadcasts = BroadcasterLock::Acquire(data, runtime) != nullptr;
        ::_exit(broadcasts ? 0 : 1);  // its locks released first, as by a copy that ends
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One broadcaster on a data folder, whether or not its own lock can be taken there, seen from
// another session, from cron without one, and after the first copy ends.
TEST(BroadcasterLock, OneBroadcasterWhateverTheDataFolderAllows) {
    TempDir dir;
    const auto data = dir / "data";
    const std::string runtime = (dir / "runtime").string(), other = (dir / "other").string();
    for (const auto& folder : {data, dir / "runtime", dir / "other"}) {
        std::filesystem::create_directory(folder);
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);  // for "nobody"
    auto oneCopy = [&](bool writable) {
        auto first = BroadcasterLock::Acquire(data, runtime.c_str());
        if (!first || first->dataFolderProblem().empty() != writable) {
            return false;
        }
        for (const char* second : {runtime.c_str(), other.c_str(), (const char*)nullptr}) {
            if (ChildBroadcasts(data, second) || !BroadcasterLock::HeldElsewhere(data, second)) {
                return false;
            }
        }
        first.reset();
        return !BroadcasterLock::HeldElsewhere(data, other.c_str()) &&
               ChildBroadcasts(data, other.c_str());
    };
    // Looking makes no lock file.
    EXPECT_FALSE(BroadcasterLock::HeldElsewhere(data, runtime.c_str()));
    EXPECT_TRUE(std::filesystem::is_empty(data) && std::filesystem::is_empty(dir / "runtime"));
    EXPECT_TRUE(oneCopy(true)) << "a writable data folder";
    std::filesystem::remove(data / "chimeon.lock");
    std::filesystem::create_directory(data / "chimeon.lock");
    EXPECT_TRUE(oneCopy(true)) << "chimeon.lock is a folder";
    std::filesystem::remove(data / "chimeon.lock");
    EXPECT_TRUE(test::RunWithoutWritePermission(data.string(), [&] { return oneCopy(false); }))
        << "a data folder that cannot be written, without chimeon.lock";
    EXPECT_FALSE(std::filesystem::exists(data / "chimeon.lock"));

    // Another user's file under the runtime lock's name, held: no copy of ours.
    struct stat info {};
    ASSERT_EQ(::stat(data.c_str(), &info), 0);
    const auto planted = RuntimeLockFiles(info.st_dev, info.st_ino, other.c_str(), ::geteuid());
    const int fd = ::open(planted.front().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (::geteuid() == 0 && ::fchown(fd, 65534, 65534) == 0 && ::flock(fd, LOCK_EX) == 0) {
        EXPECT_FALSE(BroadcasterLock::HeldElsewhere(data, other.c_str()));
        EXPECT_NE(BroadcasterLock::Acquire(data, other.c_str()), nullptr);
    }
    ::close(fd);
}

// A window that looks at the lock holds it for an instant: a broadcaster starting then still runs.
TEST(BroadcasterLock, AWindowThatLooksNeverKeepsABroadcasterFromStarting) {
    TempDir dir;
    int looking[2];
    ASSERT_EQ(::pipe(looking), 0);
    const pid_t window = ::fork();
    if (window == 0) {
        const int fd = ::open((dir / "chimeon.lock").c_str(), O_RDWR | O_CREAT, 0644);
        ::_exit(::flock(fd, LOCK_SH) != 0 || ::write(looking[1], "x", 1) != 1 ||
                ::usleep(20'000) != 0);
    }
    char said = 0;
    ASSERT_EQ(::read(looking[0], &said, 1), 1);
    EXPECT_TRUE(ChildBroadcasts(dir.path(), nullptr));
    ::waitpid(window, nullptr, 0);
    ::close(looking[0]);
    ::close(looking[1]);
}

}  // namespace
}  // namespace chimeon
