#include "platform/system/systemd_service_notifier.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

TEST(SystemdServiceNotifierTest, SaysEachStateOnTheManagersSocketAndReadsTheWatchdogInterval) {
    test::TempDir dir;
    const std::string path = (dir / "notify").string();
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "4000000", 1);
    ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
    SystemdServiceNotifier notifier;
    EXPECT_EQ(notifier.WatchdogInterval(), std::chrono::seconds(4));
    notifier.Ready();
    notifier.Status("今天播放星期一的节目表！\n下一个：8:0:0");
    notifier.WatchdogPing();
    notifier.Reloading();
    notifier.Stopping();
    for (const char* expected : {"READY=1", "STATUS=今天播放星期一的节目表！ 下一个：8:0:0",
                                 "WATCHDOG=1", "RELOADING=1", "STOPPING=1"}) {
        char buffer[512] = {};
        const ssize_t got = ::recv(socket, buffer, sizeof(buffer) - 1, MSG_DONTWAIT);
        EXPECT_EQ(std::string(buffer, got > 0 ? got : 0), expected);
    }
    for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"}) {
        ::unsetenv(name);
    }
    EXPECT_EQ(SystemdServiceNotifier().WatchdogInterval(), std::chrono::microseconds(0));
    ::close(socket);
}

}  // namespace
}  // namespace chimeon
