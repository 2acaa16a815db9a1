#include "platform/system/logind_power_off.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>

#include "core/system/settings_console.h"
#include "platform/history/sqlite_play_history.h"
#include "support/fake_local_clock.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// A D-Bus daemon of the test's own. With `logind`, the first call to logind starts
// python3-dbusmock's logind on it, which logs every call to "calls.log" in `dir`.
class PrivateBus {
public:
    PrivateBus(const test::TempDir& dir, bool logind) {
        if (logind) {
            std::filesystem::create_directories(dir / "data/dbus-1/services");
            dir.Write("data/dbus-1/services/org.freedesktop.login1.service",
                      "[D-BUS Service]\nName=org.freedesktop.login1\nExec=/usr/bin/python3 -m "
                      "dbusmock --session --template logind -l " +
                          (dir / "calls.log").string() + "\n");
        }
        std::istringstream out(
            test::RunProgram("/usr/bin/dbus-daemon",
                             {"--session", "--fork", "--nopidfile", "--print-address=1",
                              "--print-pid=1", "--address=unix:tmpdir=" + dir.path().string()},
                             "", {"XDG_DATA_HOME=" + (dir / "data").string()})
                .out);
        std::getline(out, address);
        out >> pid;
    }
    ~PrivateBus() {
        if (pid > 0) {
            kill(pid, SIGTERM);  // the mock ends with its bus
        }
    }
    std::string address;
    pid_t pid = 0;
};

TEST(LogindPowerOffTest, AsksOnceWithoutInteractionAndARefusalIsInTheHistory) {
    test::TempDir withLogind;
    PrivateBus bus(withLogind, true);
    ASSERT_FALSE(bus.address.empty()) << "dbus-daemon did not start";
    std::string refusal;
    EXPECT_TRUE(LogindPowerOff(bus.address).Request(&refusal)) << refusal;
    const std::string calls = withLogind.Read("calls.log");
    EXPECT_NE(calls.find(" PowerOff False\n"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("PowerOff"), calls.rfind("PowerOff")) << calls;

    test::TempDir withoutLogind;
    PrivateBus empty(withoutLogind, false);
    LogindPowerOff refused(empty.address);
    SqlitePlayHistory history(withoutLogind / "history.db");
    test::FakeLocalClock clock;
    clock.SetMs(test::MsFromLocal(2026, 12, 7, 17, 0, 0));
    EXPECT_FALSE(PowerOffOrRecordRefusal(refused, clock, &history, kDailyShutdownAction));
    history.Flush();
    std::string error;
    auto events = ReadPlayHistory(withoutLogind / "history.db", "", "", &error);
    ASSERT_TRUE(events && events->size() == 1) << error;
    EXPECT_EQ(events->front().cause, "power_off");
    EXPECT_NE(events->front().reason.find("org.freedesktop.login1"), std::string::npos)
        << events->front().reason;
}

}  // namespace
}  // namespace chimeon
