// chimeond as systemd runs it: a notification socket and a watchdog of the test's own, sound into
// a null sink, no display and no session bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "core/schedule/schedule_file.h"
#include "e2e/e2e_support.h"
#include "support/pulse_null_sink.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// The service manager's end of NOTIFY_SOCKET: every message the program sent, read as it comes
// (a full socket would hold the sender up, as a hung service manager would).
class NotifySocket {
public:
    explicit NotifySocket(const fs::path& path) : fd_(socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        const timeval wait{0, 100000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
        reader_ = std::thread([this] {
            char buffer[4096];
            while (!stop_) {
                const ssize_t got = recv(fd_, buffer, sizeof(buffer), 0);
                if (got > 0) {
                    const std::lock_guard lock(mutex_);
                    log_.emplace_back(buffer, static_cast<std::size_t>(got));
                }
            }
        });
    }
    ~NotifySocket() {
        stop_ = true;
        reader_.join();
        close(fd_);
    }
    // From now on only later messages count.
    void Mark() {
        const std::lock_guard lock(mutex_);
        mark_ = log_.size();
    }
    // The messages since the mark that hold `text`.
    int Count(const std::string& text) {
        const std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(
            log_.begin() + static_cast<std::ptrdiff_t>(mark_), log_.end(),
            [&](const std::string& message) { return message.find(text) != message.npos; }));
    }
    bool WaitFor(const std::string& text, int seconds) {
        return test::WaitFor([&] { return Count(text) > 0; }, seconds);
    }

private:
    int fd_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::size_t mark_ = 0;
};

int Events(const fs::path& data, HistoryEvent::Kind kind) {
    const std::vector<HistoryEvent> events = test::History(data);
    return static_cast<int>(
        std::count_if(events.begin(), events.end(),
                      [&](const HistoryEvent& event) { return event.kind == kind; }));
}

TEST(DaemonService, ReadyPingsFromTheEngineBellOnTimeReloadAndOrderlyStop) {
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        GTEST_SKIP() << "no PulseAudio server for the program's sound: " << why;
    }
    test::TempDir dir;
    const fs::path data = dir.path();
    std::ofstream(data / "setup.ini", std::ios::binary) << "[Settings]\r\n";
    test::WriteTone(data / "bell.wav", 2);
    const ProgramItem bell{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()};
    ASSERT_TRUE(SaveScheduleFile(data / "Day1.dat", {bell}));
    test::SetClock(data, "2026-12-07 07:59:58");
    NotifySocket notify(data / "notify.sock");
    const pid_t daemon =
        test::Spawn({CHIMEOND_E2E_EXECUTABLE, "--data-dir", data.string()},
                    {"NOTIFY_SOCKET=" + (data / "notify.sock").string(), "WATCHDOG_USEC=400000",
                     "WATCHDOG_PID=self", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                     std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY},
                    data / "daemon.out");
    ASSERT_GT(daemon, 0);
    EXPECT_TRUE(notify.WaitFor("READY=1", 30));
    EXPECT_TRUE(notify.WaitFor("下一个：8:0:0 上课铃", 5)) << "the status names the next start";
    notify.Mark();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_GE(notify.Count("WATCHDOG=1"), 3);

    // setup.ini saved by another program (the window's page, an editor) takes effect unasked.
    std::ofstream(data / "setup.ini.new", std::ios::binary)
        << "[Settings]\r\nShutup=1\r\nShutupTime=7:59:59\r\n";
    fs::rename(data / "setup.ini.new", data / "setup.ini");
    EXPECT_TRUE(test::WaitFor([&] { return fs::exists(data / "power-off.txt"); }, 5));

    // A held engine is a hung broadcaster: no pings while it is held, pings again after.
    std::ofstream(data / "block-engine.txt") << "1500\n";
    ASSERT_TRUE(test::WaitFor([&] { return fs::exists(data / "engine-blocked.txt"); }, 10));
    notify.Mark();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(notify.Count("WATCHDOG=1"), 0);
    EXPECT_TRUE(notify.WaitFor("WATCHDOG=1", 5));

    const pid_t recorder =
        test::Spawn({"parec", "--device=" + test::PulseNullSink::SinkName() + ".monitor",
                     "--format=s16le", "--rate=8000", "--channels=1", "--raw"},
                    {}, data / "monitor.raw");
    test::SetClock(data, "2026-12-07 08:00:00");
    EXPECT_TRUE(test::WaitFor([&] { return Events(data, HistoryEvent::Kind::kStart) == 1; }, 10));

    // A table changed on disk reaches today's list by SIGHUP: its new row starts too.
    ProgramItem second = bell;
    second.title = "下课铃";
    second.start = "8:0:2";
    ASSERT_TRUE(SaveScheduleFile(data / "Day1.dat", {bell, second}));
    notify.Mark();
    kill(daemon, SIGHUP);
    EXPECT_TRUE(notify.WaitFor("RELOADING=1", 5));
    EXPECT_TRUE(notify.WaitFor("READY=1", 10));
    test::SetClock(data, "2026-12-07 08:00:01");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    test::SetClock(data, "2026-12-07 08:00:02");
    EXPECT_TRUE(test::WaitFor([&] { return Events(data, HistoryEvent::Kind::kEnd) == 2; }, 15));
    EXPECT_EQ(Events(data, HistoryEvent::Kind::kStart), 2);
    test::Stop(recorder);

    kill(daemon, SIGTERM);
    int status = -1;
    if (!test::WaitFor([&] { return waitpid(daemon, &status, WNOHANG) == daemon; }, 15)) {
        status = test::Stop(daemon);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(notify.WaitFor("STOPPING=1", 1));
    for (const HistoryEvent& event : test::History(data)) {
        EXPECT_NE(event.kind, HistoryEvent::Kind::kFailure) << event.reason;
        if (event.kind == HistoryEvent::Kind::kStart) {
            EXPECT_EQ(std::tuple(event.latenessMs, HistoryCauseName(event.cause)),
                      std::tuple(0, "time"))
                << event.title;
        }
    }
    EXPECT_GT(test::LoudSamples(dir.Read("monitor.raw")), 4000) << "the null sink heard nothing";
}

}  // namespace
}  // namespace chimeon
