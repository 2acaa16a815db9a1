// The whole program on a clock the test sets: the broadcaster and the window on a bus of the
// test's own. A row starts at its second and its sound reaches the sound server; killing the
// window stops no bell; a broadcaster restarted is found again by the window; on a running
// clock the next row is scheduled ahead on the player and sounds on its second.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app/broadcaster_bus_name.h"
#include "core/schedule/schedule_file.h"
#include "e2e/e2e_support.h"
#include "platform/history/play_history_reader.h"
#include "support/pulse_null_sink.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// The programs in a portable copy (its folder holds setup.ini, the skins and the tables) with a
// bell at 8:0:0 and one at 8:1:0 on Monday 2026-12-07, the clock at 7:59:58, the bus the test's.
class ProgramBroadcast : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!test::PulseNullSink::Start(&why)) {
            GTEST_SKIP() << "no PulseAudio server for the program's sound: " << why;
        }
        fs::copy_file(CHIMEON_E2E_EXECUTABLE, data / "chimeon_e2e");
        fs::copy_file(CHIMEOND_E2E_EXECUTABLE, data / "chimeond_e2e");
        fs::copy(CHIMEON_SKIN_DIR, data / "skin", fs::copy_options::recursive);
        std::ofstream(data / "setup.ini", std::ios::binary)
            << "[Settings]\r\nShowMedia=1\r\n[Status]\r\nPort=0\r\n";
        test::WriteTone(data / "bell.wav", 2);
        ASSERT_TRUE(SaveScheduleFile(
            data / "Day1.dat",
            {ProgramItem{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()},
             ProgramItem{"下课铃", "8:1:0", "播完终止", "100", "", (data / "bell.wav").string()}}));
        test::SetClock(data, "2026-12-07 07:59:58");
        fs::create_directory(data / "run");
        bus = test::Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                           "--address=unix:path=" + (data / "run" / "bus").string()},
                          {}, data / "bus.out");
        ASSERT_TRUE(test::WaitFor([&] { return fs::exists(data / "run" / "bus"); }, 10));
        broadcaster = StartBroadcaster();
    }
    void TearDown() override {
        for (pid_t* pid : {&window, &broadcaster, &bus}) {
            if (*pid > 0) {
                test::Stop(*pid);
            }
        }
        // A broadcaster a window started outlives the window (and the bus), by design.
        std::system(("pkill -f '^" + (data / "chimeond_e2e").string() + "'").c_str());
    }
    std::vector<std::string> Environment() const {
        return {"QT_QPA_PLATFORM=offscreen",
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (data / "run" / "bus").string(),
                std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY};
    }
    // The broadcaster, once it is on the bus (so that the window does not start one of its own).
    pid_t StartBroadcaster() const {
        const pid_t pid =
            test::Spawn({(data / "chimeond_e2e").string(), "--data-dir", data.string()},
                        Environment(), data / "chimeond.out");
        const std::string ask = "dbus-send --bus=unix:path=" + (data / "run" / "bus").string() +
                                " --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                "org.freedesktop.DBus.NameHasOwner string:" +
                                BroadcasterBusName(data) + " | grep -q true";
        EXPECT_TRUE(test::WaitFor([&] { return std::system(ask.c_str()) == 0; }, 20));
        return pid;
    }
    // The window, and whether it says it reached the broadcaster `times` times. Each window
    // writes a file of its own: the new one is only made once the child runs.
    pid_t StartWindow() {
        ++windows;
        return test::Spawn({(data / "chimeon_e2e").string()}, Environment(), WindowOutput());
    }
    fs::path WindowOutput() const { return data / ("window" + std::to_string(windows) + ".out"); }
    bool Attached(int times) const {
        std::error_code error;
        const std::string out = fs::exists(WindowOutput(), error)
                                    ? dir.Read(WindowOutput().filename().string())
                                    : std::string();
        int found = 0;
        for (auto at = out.find("attached"); at != std::string::npos;
             at = out.find("attached", at + 1)) {
            ++found;
        }
        return found >= times;
    }
    bool Recorded(HistoryEvent::Kind kind, int times = 1) const {
        const std::vector<HistoryEvent> events = test::History(data);
        return std::count_if(events.begin(), events.end(), [kind](const HistoryEvent& event) {
                   return event.kind == kind;
               }) >= times;
    }

    test::TempDir dir;
    const fs::path data = dir.path();
    pid_t bus = -1;
    pid_t broadcaster = -1;
    pid_t window = -1;
    int windows = 0;
};

TEST_F(ProgramBroadcast, BellsGoOnWhenTheWindowIsKilledAndTheWindowFindsARestartedBroadcaster) {
    window = StartWindow();
    ASSERT_TRUE(test::WaitFor([&] { return Attached(1); }, 30)) << "the window never attached";
    // What reaches the null sink, recorded from its monitor.
    pid_t recorder =
        test::Spawn({"parec", "--device=" + test::PulseNullSink::SinkName() + ".monitor",
                     "--format=s16le", "--rate=8000", "--channels=1", "--raw"},
                    {}, data / "monitor.raw");
    test::SetClock(data, "2026-12-07 08:00:00");
    const bool bellStarted =
        test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kStart); }, 10);
    // Killed while the bell plays: it plays to its end.
    ::kill(window, SIGKILL);
    ::waitpid(window, nullptr, 0);
    window = -1;
    const bool ended = test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd); }, 40);
    window = StartWindow();
    const bool attached = test::WaitFor([&] { return Attached(1); }, 30);
    const int status = test::Stop(broadcaster);
    broadcaster = StartBroadcaster();
    const bool attachedAgain = test::WaitFor([&] { return Attached(2); }, 30);
    // A running clock three seconds before the next row: a step finds it ahead of its second.
    test::SetClock(data, "2026-12-07 08:00:57 running");
    const bool nextEnded = test::WaitFor([&] { return Recorded(HistoryEvent::Kind::kEnd, 2); }, 40);
    test::Stop(recorder);

    EXPECT_TRUE(bellStarted) << "the bell never started";
    EXPECT_TRUE(ended) << "the bell did not play to its end once the window was killed";
    EXPECT_TRUE(attached && attachedAgain) << "the window did not find the broadcaster again";
    EXPECT_TRUE(nextEnded) << "the row scheduled ahead never played through";
    std::vector<std::string> started;
    for (const HistoryEvent& event : test::History(data)) {
        EXPECT_NE(event.kind, HistoryEvent::Kind::kFailure) << event.reason;
        if (event.kind == HistoryEvent::Kind::kStart) {
            started.push_back(event.title + " " + event.scheduledSecond);
            ASSERT_TRUE(event.latenessMs);
            // The first on a clock standing at its second; the next as the player measured it.
            EXPECT_LE(std::abs(*event.latenessMs), event.title == "上课铃" ? 0 : 5);
            EXPECT_EQ(HistoryCauseName(event.cause), "time");
        }
        if (event.kind == HistoryEvent::Kind::kEnd) {
            EXPECT_EQ(HistoryCauseName(event.cause), "played");
        }
    }

    const std::string bytes = dir.Read("monitor.raw");
    EXPECT_EQ(started, (std::vector<std::string>{"上课铃 8:0:0", "下课铃 8:1:0"}));
    EXPECT_GT(test::LoudSamples(bytes), 2 * 4000)
        << "the null sink did not receive both bells (" << bytes.size() << " bytes)";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace chimeon
