// chimeond with the network output: a Snapcast server and two clients on loopback ports
// (scripts/snapcast-local.sh), each client writing what it plays into a file of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <fstream>
#include <thread>

#include "core/schedule/schedule_file.h"
#include "e2e/e2e_support.h"
#include "platform/network/snapcast_control.h"
#include "platform/network/tcp_connection.h"
#include "support/pulse_null_sink.h"
#include "support/snapcast_local.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr int kPort = 24840;

// Whether the server's status says our stream is playing: the feed is connected and writing.
bool StreamPlaying(int controlPort) {
    std::string error;
    TcpConnection connection =
        TcpConnection::Connect("127.0.0.1", controlPort, milliseconds(500), &error);
    const std::string ask = StatusRequestLine(1);
    if (!connection.IsOpen() || ::send(connection.fd(), ask.data(), ask.size(), MSG_NOSIGNAL) < 0 ||
        !WaitReady(connection.fd(), false, milliseconds(500))) {
        return false;
    }
    std::this_thread::sleep_for(milliseconds(50));
    char answer[65536];
    const ssize_t got = ::recv(connection.fd(), answer, sizeof answer, MSG_DONTWAIT);
    return got > 0 &&
           std::string(answer, static_cast<std::size_t>(got)).find("\"status\":\"playing\"") !=
               std::string::npos;
}

// What each client played since `sizes` were taken, as loud samples.
std::vector<int> LoudSince(const fs::path& snap, std::vector<std::uintmax_t>& sizes) {
    std::vector<int> loud;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        std::ifstream in(snap / ("client" + std::to_string(k + 1) + ".raw"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        loud.push_back(test::LoudSamples(bytes.size() > sizes[k] ? bytes.substr(sizes[k]) : ""));
        sizes[k] = bytes.size();
    }
    return loud;
}

TEST(NetworkOutput, BellsAtEveryClientAndTheOneMissedWhileTheServerWasAwayRecorded) {
    if (!test::SnapcastLocal::Available()) {
        GTEST_SKIP() << "snapserver and snapclient are not installed";
    }
    std::string why;
    const bool local = test::PulseNullSink::Start(&why);
    test::TempDir dir;
    const fs::path data = dir / "data";
    test::SnapcastLocal server(dir / "snap", kPort, 2);
    dir.Write("data/setup.ini",
              "[Settings]\r\n[NetworkOutput]\r\nEnabled=1\r\nStreamPort=" + std::to_string(kPort) +
                  "\r\nControlPort=" + std::to_string(server.controlPort()) +
                  "\r\nBuffer=600\r\nLocalToo=" + (local ? "1" : "0") + "\r\n");
    test::WriteTone(data / "bell.wav", 1);
    test::WriteTone(data / "long.wav", 4);
    ProgramItem bell{"上课铃", "8:0:0", "播完终止", "100", "", (data / "bell.wav").string()};
    ScheduleTable table{bell, bell, bell};
    table[0].path = (data / "long.wav").string();
    table[1].start = "8:0:5";
    table[2].start = "8:0:10";
    ASSERT_TRUE(SaveScheduleFile(data / "Day1.dat", table));
    test::SetClock(data, "2026-12-07 07:59:58");
    const pid_t daemon = test::Spawn({CHIMEOND_E2E_EXECUTABLE, "--data-dir", data.string()},
                                     {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                      std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY},
                                     data / "daemon.out");
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(test::WaitFor([&] { return StreamPlaying(server.controlPort()); }, 20));
    std::vector<std::uintmax_t> sizes(2, 0);
    LoudSince(server.dir(), sizes);

    auto starts = [&] {
        int count = 0;
        for (const HistoryEvent& event : test::History(data)) {
            count += event.kind == HistoryEvent::Kind::kStart ? 1 : 0;
        }
        return count;
    };
    auto sounded = [&] {
        std::this_thread::sleep_for(milliseconds(2000));  // the buffer and the bell's second
        return LoudSince(server.dir(), sizes);
    };
    test::SetClock(data, "2026-12-07 08:00:00");
    ASSERT_TRUE(test::WaitFor([&] { return starts() == 1; }, 10));
    for (int loud : sounded()) {
        EXPECT_GT(loud, 1000) << "a client did not sound the first bell";
    }

    // The server away while the first bell still plays (it is recorded at its end), and at the
    // next one: that bell still starts, and is recorded as not delivered to the network.
    ASSERT_TRUE(server.Run("server-stop"));
    ASSERT_TRUE(test::WaitFor([&] { return !StreamPlaying(server.controlPort()); }, 5));
    std::this_thread::sleep_for(milliseconds(300));  // the feed finds its connection gone
    test::SetClock(data, "2026-12-07 08:00:05");
    ASSERT_TRUE(test::WaitFor([&] { return starts() == 2; }, 10));
    sounded();

    // Back again: the feed and the clients find it by themselves, and the next bell is heard.
    ASSERT_TRUE(server.Run("server-start"));
    ASSERT_TRUE(test::WaitFor([&] { return StreamPlaying(server.controlPort()); }, 20));
    std::string error;
    ASSERT_TRUE(test::WaitFor(
        [&] {
            auto zones = SnapcastControl::FetchOnce("127.0.0.1", server.controlPort(),
                                                    milliseconds(500), &error);
            return zones && ShortfallsOf(*zones, "Chimeon").empty() && zones->size() == 2;
        },
        20));
    std::this_thread::sleep_for(milliseconds(1500));  // the clients' streams under way again
    LoudSince(server.dir(), sizes);
    test::SetClock(data, "2026-12-07 08:00:10");
    ASSERT_TRUE(test::WaitFor([&] { return starts() == 3; }, 10));
    for (int loud : sounded()) {
        EXPECT_GT(loud, 1000) << "a client did not sound the bell after the server came back";
    }

    kill(daemon, SIGTERM);
    int status = -1;
    if (!test::WaitFor([&] { return waitpid(daemon, &status, WNOHANG) == daemon; }, 15)) {
        status = test::Stop(daemon);
    }
    std::vector<std::string> failures;
    for (const HistoryEvent& event : test::History(data)) {
        if (event.kind == HistoryEvent::Kind::kFailure) {
            EXPECT_EQ(HistoryCauseName(event.cause), "network");
            failures.push_back(event.reason);
        }
    }
    ASSERT_EQ(failures.size(), 2u) << dir.Read("data/daemon.out");
    EXPECT_NE(failures[0].find("网络广播中断：08:00:00 的上课铃没有完整送达"), std::string::npos)
        << failures[0];
    EXPECT_NE(failures[1].find("网络广播没有送达：08:00:05 的上课铃"), std::string::npos)
        << failures[1];
}

}  // namespace
}  // namespace chimeon
