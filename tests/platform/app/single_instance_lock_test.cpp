#include "platform/app/single_instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

// Whether another process could take the lock right now.
bool ChildCanAcquire(const std::filesystem::path& lockFile) {
    pid_t child = ::fork();
    if (child == 0) {
        ::_exit(SingleInstanceLock::TryAcquire(lockFile) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SingleInstanceLock, SecondCopyIsRefusedUntilTheFirstEnds) {
    TempDir dir;
    auto lockFile = dir / "chimeon.lock";
    {
        bool failed = true;
        auto first = SingleInstanceLock::TryAcquire(lockFile, &failed);
        ASSERT_NE(first, nullptr);
        EXPECT_FALSE(failed);
        EXPECT_FALSE(ChildCanAcquire(lockFile));
    }
    EXPECT_TRUE(ChildCanAcquire(lockFile)) << "the lock file left behind is not stale";
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
}

TEST(SingleInstanceLock, UnusableLockFileIsReportedAsAFailure) {
    bool failed = false;
    EXPECT_EQ(SingleInstanceLock::TryAcquire("/nonexistent-folder/chimeon.lock", &failed), nullptr);
    EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace chimeon
