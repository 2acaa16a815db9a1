#include "platform/system/logind_power_off.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>

#include "support/fake_local_clock.h"
#include "support/fake_system_ports.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

TEST(LogindPowerOffTest, AsksOnceWithoutInteractionAndARefusalIsInTheHistory) {
    // A D-Bus daemon of the test's own, on which the first call to logind starts
    // python3-dbusmock's logind; it logs every call.
    test::TempDir dir;
    std::filesystem::create_directories(dir / "data/dbus-1/services");
    dir.Write("data/dbus-1/services/org.freedesktop.login1.service",
              "[D-BUS Service]\nName=org.freedesktop.login1\nExec=/usr/bin/python3 -m dbusmock "
              "--session --template logind -l " +
                  (dir / "calls.log").string() + "\n");
    std::istringstream bus(
        test::RunProgram("/usr/bin/dbus-daemon",
                         {"--session", "--fork", "--nopidfile", "--print-address=1",
                          "--print-pid=1", "--address=unix:tmpdir=" + dir.path().string()},
                         "", {"XDG_DATA_HOME=" + (dir / "data").string()})
            .out);
    std::string address;
    pid_t pid = 0;
    std::getline(bus, address);
    bus >> pid;
    ASSERT_GT(pid, 0) << "dbus-daemon did not start";
    std::string refusal;
    EXPECT_TRUE(LogindPowerOff(address).Request(&refusal)) << refusal;
    kill(pid, SIGTERM);  // the mock ends with its bus
    const std::string calls = dir.Read("calls.log");
    EXPECT_NE(calls.find(" PowerOff False\n"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("PowerOff"), calls.rfind("PowerOff")) << calls;

    LogindPowerOff unreachable("unix:path=" + (dir / "no-bus").string());
    test::RecordedHistory history;
    EXPECT_FALSE(PowerOffOrRecordRefusal(unreachable, test::FakeLocalClock(), &history, "关机"));
    ASSERT_EQ(history.events.size(), 1u);
    EXPECT_EQ(HistoryCauseName(history.events[0].cause), "power_off");
    EXPECT_NE(history.events[0].reason.find("cannot be reached"), std::string::npos);
}

}  // namespace
}  // namespace chimeon
