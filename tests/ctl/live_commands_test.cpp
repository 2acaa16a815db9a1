#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>
#include <chrono>
#include <functional>
#include <future>

#include "broadcaster/broadcast_engine.h"
#include "core/schedule/schedule_file.h"
#include "link/server/broadcaster_adaptor.h"
#include "platform/app/single_instance_lock.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/private_bus.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include "core/network/zone_state.h"

namespace chimeon {
namespace {

ProgramItem Item(std::string title, std::string start, std::string path) {
    return ProgramItem{std::move(title), std::move(start), std::string(kEndPlayOnce), "100", "",
                       std::move(path)};
}

// A broadcaster (the engine on a fake clock, Monday 2026-12-07 7:59:59, rows a, b, c) on a bus of
// the test's own, served while chimeonctl runs.
class LiveCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "chimeon_ctl_tests";
        static char* argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
        bus = new test::PrivateBus;
    }
    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus("broadcaster");
        delete bus;
        delete application;
    }

    LiveCommandsTest() {
        EXPECT_TRUE(SaveScheduleFile(
            data / "Day1.dat", {Item("a", "7:0:0", "/m/a.mp3"), Item("b", "8:0:0", "/m/b.mp3"),
                                Item("c", "9:0:0", "/m/c.mp3")}));
        player.AddFile("/m/b.mp3", 60'000);
        localClock.SetMs(test::MsFromLocal(2026, 12, 7, 7, 59, 59));
        EngineParts parts(localClock, player, lister, data.path());
        parts.measureDurations = false;
        engine = std::make_unique<BroadcastEngine>(std::move(parts));
        BroadcasterHooks hooks;
        hooks.health = [this] { return health; };
        hooks.zones = [] {
            ZoneSnapshot zones{true, true, "", {{"g1", "教学楼B", "Chimeon", false, {}}}};
            zones.zones[0].clients.push_back({"c1", "扬声器1", false, 0, 20, 80, false});
            return ZoneSnapshotJson(zones, "Chimeon").dump();
        };
        adaptor = std::make_unique<BroadcasterAdaptor>(*engine, data.path(), std::move(hooks));
        engine->Start();
        EXPECT_EQ(adaptor->Register(QDBusConnection::connectToBus(
                      QString::fromStdString(bus->address()), "broadcaster")),
                  BroadcasterAdaptor::Registration::kDone);
    }

    // chimeonctl on `dir`, while the broadcaster answers on this thread.
    test::ProgramResult Ctl(const test::TempDir& dir, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--data-dir", dir.path().string()});
        auto running = std::async(std::launch::async, [&] {
            return test::RunProgram(CHIMEON_CTL_PATH, arguments, "",
                                    {std::string("GST_REGISTRY=") + CHIMEON_TEST_GST_REGISTRY,
                                     "DBUS_SESSION_BUS_ADDRESS=" + bus->address()});
        });
        QTimer wake;
        wake.start(20);
        while (running.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QCoreApplication::processEvents();
        return running.get();
    }

    static inline QCoreApplication* application = nullptr;
    static inline test::PrivateBus* bus = nullptr;
    test::TempDir data;
    test::FakeLocalClock localClock;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    std::unique_ptr<BroadcastEngine> engine;
    std::unique_ptr<BroadcasterAdaptor> adaptor;
    BroadcasterHealth health;  // what the broadcaster says of its page and the clock
};

TEST_F(LiveCommandsTest, TalkToTheRunningBroadcasterOrSayThatNoneRuns) {
    const std::uint64_t generation = 1;
    struct Step {
        std::vector<std::string> arguments;
        int exitCode;
        std::string printed;  // on the data or the message stream
        std::function<bool(TodayList&, const BroadcastClock&)> holds;
        BroadcasterHealth health = {};
    } steps[] = {
        {{"status", "--json"},
         0,
         R"("status":"今天播放星期一的节目表！","mode":"auto","broadcast":true,"current_row":null,)",
         {}},
        {{"play", "2"}, 0, "", [](TodayList& l, auto&) { return l.IsPlaying(1); }},
        {{"status"}, 0, "mode 自动 (auto)\ncurrent 2 b\n", {}},
        {{"status"}, 0, "\n2\t正播\t8:0:0\t播完终止\t100\t顺序\t-\tb\t/m/b.mp3\n", {}},
        {{"status"},
         0,
         "\npage http://127.0.0.1:8631/\nclock 系统时钟已与网络时间同步 (synchronized)\n",
         {},
         {"http://127.0.0.1:8631/", "", {ClockSync::kSynchronized, ""}}},
        {{"status"},
         0,
         "\npage 状态页没有开启 (off)\nclock 系统时钟未与网络时间同步 (not_synchronized)\n",
         {},
         {"", "", {ClockSync::kNotSynchronized, ""}}},
        {{"status", "--json"},
         0,
         R"("page":{"state":"failed","url":null,"problem":"Address in use"},"clock":{"sync":)"
         R"("no_answer","text":"无法得知系统时钟是否同步（时间服务没有应答：timeout）"},)",
         {},
         {"", "Address in use", {ClockSync::kNoAnswer, "timeout"}}},
        {{"status"}, 0, "zone 教学楼B (stream Chimeon)\n  扬声器1 [c1] offline, last seen -", {}},
        {{"zones"}, 0, "latency 20 ms, volume 80%\n", {}},
        {{"zones", "--json"},
         0,
         R"({"zone":"教学楼B","id":"g1","stream":"Chimeon","ours":true,)",
         {}},
        {{"play", "4"}, 2, "no row 4: today's list has 3 rows", {}},
        {{"manual"}, 0, "", [](auto&, auto& c) { return c.Mode() == ControlMode::kManual; }},
        {{"auto"}, 0, "", [](auto&, auto& c) { return c.Mode() == ControlMode::kAutomatic; }},
        {{"stop"}, 0, "", [](TodayList& l, auto&) { return !l.IsPlaying(1); }},
        {{"reload"}, 0, "", [=](TodayList& l, auto&) { return l.Generation() == generation + 1; }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arguments.front());
        health = step.health;
        const test::ProgramResult result = Ctl(data, step.arguments);
        EXPECT_EQ(result.exitCode, step.exitCode) << result.err;
        EXPECT_NE((result.out + result.err).find(step.printed), std::string::npos)
            << result.out << result.err;
        if (step.holds) {
            QCoreApplication::processEvents();
            EXPECT_TRUE(step.holds(*engine->list(), *engine->clock()));
        }
    }
    test::TempDir elsewhere;
    const test::ProgramResult none = Ctl(elsewhere, {"stop"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("没有正在运行的广播程序"), std::string::npos) << none.err;
    // One runs from another login: its lock is held, its name is on another bus.
    const auto otherLogin = BroadcasterLock::Acquire(elsewhere.path(), nullptr);
    const test::ProgramResult unreachable = Ctl(elsewhere, {"stop"});
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_NE(unreachable.err.find("不在这个会话总线上"), std::string::npos) << unreachable.err;
}

}  // namespace
}  // namespace chimeon
