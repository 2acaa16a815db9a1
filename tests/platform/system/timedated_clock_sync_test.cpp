#include "platform/system/timedated_clock_sync.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <sstream>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// A D-Bus daemon of the test's own as the system bus, on which the first call starts
// python3-dbusmock's timedated with the given parameters; its address and process.
std::pair<std::string, pid_t> MockTimedated(const test::TempDir& dir, const std::string& name,
                                            const std::string& parameters) {
    const auto services = dir / name / "dbus-1/services";
    std::filesystem::create_directories(services);
    dir.Write(name + "/dbus-1/services/org.freedesktop.timedate1.service",
              "[D-BUS Service]\nName=org.freedesktop.timedate1\nExec=/usr/bin/python3 -m dbusmock "
              "--session --template timedated -p '" +
                  parameters + "'\n");
    std::istringstream bus(
        test::RunProgram("/usr/bin/dbus-daemon",
                         {"--session", "--fork", "--nopidfile", "--print-address=1",
                          "--print-pid=1", "--address=unix:tmpdir=" + dir.path().string()},
                         "", {"XDG_DATA_HOME=" + (dir / name).string()})
            .out);
    std::string address;
    pid_t pid = 0;
    std::getline(bus, address);
    bus >> pid;
    return {address, pid};
}

TEST(TimedatedClockSync, SynchronisedNotSynchronisedAndNoAnswer) {
    test::TempDir dir;
    struct {
        const char* parameters;
        ClockSync expected;
    } cases[] = {{R"({"NTP": true})", ClockSync::kSynchronized},
                 {R"({"NTP": false})", ClockSync::kNotSynchronized}};
    int i = 0;
    for (const auto& c : cases) {
        auto [address, pid] = MockTimedated(dir, "bus" + std::to_string(i++), c.parameters);
        ASSERT_GT(pid, 0) << "dbus-daemon did not start";
        // The system bus as the program finds it: DBUS_SYSTEM_BUS_ADDRESS.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        const ClockHealth health = TimedatedClockSync().Ask();
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        kill(pid, SIGTERM);
        EXPECT_EQ(health.sync, c.expected) << c.parameters << " " << health.detail;
    }
    const ClockHealth unreachable =
        TimedatedClockSync("unix:path=" + (dir / "no-bus").string()).Ask();
    EXPECT_EQ(unreachable.sync, ClockSync::kNoAnswer);
    EXPECT_NE(unreachable.detail.find("cannot be reached"), std::string::npos);
}

}  // namespace
}  // namespace chimeon
