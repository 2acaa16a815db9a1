#include "support/write_failures.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace chimeon::test {
namespace {

constexpr int kCouldNotDropRoot = 3;

}  // namespace

bool RunWithoutWritePermission(const std::string& folder, const std::function<bool()>& attempt) {
    if (::geteuid() != 0) {
        ::chmod(folder.c_str(), 0555);
        bool result = attempt();
        ::chmod(folder.c_str(), 0755);
        return result;
    }
    // Root writes anywhere; "nobody" can read the folder but not write it.
    ::chmod(folder.c_str(), 0755);
    return RunAsNobody(attempt);
}

bool RunAsNobody(const std::function<bool()>& attempt) {
    pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0) {
            ::_exit(kCouldNotDropRoot);
        }
        ::_exit(attempt() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    // A child that kept root would prove nothing: say so instead of passing quietly.
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kCouldNotDropRoot)
        << "the test could not give up root to run as another user";
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

bool RunWithFileSizeLimit(long maxBytes, const std::function<bool()>& attempt) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = static_cast<rlim_t>(maxBytes);
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead
    ::setrlimit(RLIMIT_FSIZE, &limited);
    bool result = attempt();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    return result;
}

}  // namespace chimeon::test
