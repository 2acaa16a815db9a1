// Measured: the round trip of a command from the window to the broadcaster and back into the
// window's copy, over a session bus of the bench's own (dbus-daemon). The engine runs on its own
// thread; the broadcaster's interface and the window's client with its BroadcastMirror share the
// main thread, each on a connection of its own. Each command toggles the mode
// (SetMode); its round trip ends when the mirror shows the new mode. Run:
// ./build/bench/command_round_trip_bench (CHIMEON_BENCH_COMMANDS=N, 200 by default). The last line
// reads "command round trip: median M ms p99 P ms (N commands)"; the goal is p99 <= 20 ms.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "broadcaster/broadcast_engine.h"
#include "core/schedule/schedule_file.h"
#include "link/broadcaster_client.h"
#include "link/server/broadcaster_adaptor.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/private_bus.h"
#include "support/temp_dir.h"
#include "ui/engine/broadcast_mirror.h"

namespace chimeon {
namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// Processes events until `done` holds; false after 5 s.
template <typename Done>
bool RunUntil(Done done) {
    QTimer wake;
    wake.start(100);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

int Run(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const char* given = std::getenv("CHIMEON_BENCH_COMMANDS");
    const int commands = given != nullptr ? std::max(2, std::atoi(given)) : 200;

    test::PrivateBus bus;
    if (bus.address().empty()) {
        std::fprintf(stderr, "command_round_trip_bench: dbus-daemon cannot be started\n");
        return 1;
    }
    const QString address = QString::fromStdString(bus.address());
    test::TempDir data;
    std::vector<ProgramItem> table;
    for (int row = 0; row < 40; ++row) {
        table.push_back({"row",
                         std::to_string(8 + row / 4) + ":" + std::to_string(row % 4 * 15) + ":0",
                         "播完终止", "100", "", "/m/bell.mp3"});
    }
    if (!SaveScheduleFile(data / "Day1.dat", table)) {
        std::fprintf(stderr, "command_round_trip_bench: the table cannot be written\n");
        return 1;
    }
    test::FakeLocalClock localClock;
    localClock.SetMs(test::MsFromLocal(2026, 12, 7, 7, 0, 0));
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    EngineParts parts(localClock, player, lister, data.path());
    parts.measureDurations = false;
    BroadcastEngine engine(std::move(parts));

    auto adaptor = std::make_unique<BroadcasterAdaptor>(engine, data.path(), BroadcasterHooks{});
    engine.RunOnOwnThread();
    engine.Start();
    if (adaptor->Register(QDBusConnection::connectToBus(address, "broadcaster")) !=
        BroadcasterAdaptor::Registration::kDone) {
        std::fprintf(stderr, "command_round_trip_bench: the interface cannot be registered\n");
        return 1;
    }

    BroadcasterClient client(QDBusConnection::connectToBus(address, "window"), data.path());
    BroadcastMirror mirror(client);
    if (!RunUntil([&] { return client.IsAttached(); })) {
        std::fprintf(stderr, "command_round_trip_bench: the client did not attach\n");
        return 1;
    }
    std::vector<double> roundTripsMs;
    for (int i = 0; i < commands; ++i) {
        const ControlMode wanted = mirror.state().mode == ControlMode::kManual
                                       ? ControlMode::kAutomatic
                                       : ControlMode::kManual;
        const auto sent = Clock::now();
        client.SwitchMode(wanted);
        if (!RunUntil([&] { return mirror.state().mode == wanted; })) {
            std::fprintf(stderr, "command_round_trip_bench: command %d was not carried out\n", i);
            return 1;
        }
        roundTripsMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    engine.Join(std::chrono::seconds(10));
    std::printf("command round trip: median %.2f ms p99 %.2f ms (%d commands)\n",
                Percentile(roundTripsMs, 0.5), Percentile(roundTripsMs, 0.99), commands);
    return 0;
}

}  // namespace
}  // namespace chimeon

int main(int argc, char* argv[]) {
    return chimeon::Run(argc, argv);
}
