#include "broadcaster/broadcast_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "core/schedule/schedule_file.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/engine/broadcast_mirror.h"

namespace chimeon {
namespace {

ProgramItem Item(std::string title, std::string start, std::string path) {
    return ProgramItem{std::move(title), std::move(start), std::string(kEndPlayOnce), "100", "",
                       std::move(path)};
}

// Where the clock's record of ends went, and from which thread.
struct Ends : BroadcastClockObserver {
    void OnRowEnded(int, EndCause cause) override {
        causes->push_back(cause);
        *thread = std::this_thread::get_id();
    }
    std::shared_ptr<std::vector<EndCause>> causes;
    std::shared_ptr<std::thread::id> thread;
};

// An engine on a fake clock (Monday 2026-12-07 7:59:59) with rows a, b (8:0:0), c; the window's
// copy of its list and state, and its refusals.
class BroadcastEngineTest : public ::testing::Test, public test::WithApp {
protected:
    BroadcastEngineTest() {
        EXPECT_TRUE(SaveScheduleFile(
            dir / "Day1.dat", {Item("a", "7:0:0", "/m/a.mp3"), Item("b", "8:0:0", "/m/b.mp3"),
                               Item("c", "9:0:0", "/m/c.mp3")}));
        player.AddFile("/m/b.mp3", 60'000);
        localClock.SetMs(test::MsFromLocal(2026, 12, 7, 7, 59, 59));
        EngineParts parts(localClock, player, lister, dir.path());
        parts.measureDurations = false;
        parts.makeObserver = [this](const LocalClock&, const TodayList&) {
            auto ends = std::make_unique<Ends>();
            ends->causes = endCauses;
            ends->thread = endThread;
            return ends;
        };
        engine = std::make_unique<BroadcastEngine>(std::move(parts));
        mirror = std::make_unique<BroadcastMirror>(*engine);
        QObject::connect(
            engine.get(), &BroadcastEngine::refused, mirror.get(),
            [this](ConsoleAnswer answer) { refusals.push_back(answer); }, Qt::QueuedConnection);
    }

    test::TempDir dir;
    test::FakeLocalClock localClock;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    std::shared_ptr<std::vector<EndCause>> endCauses = std::make_shared<std::vector<EndCause>>();
    std::shared_ptr<std::thread::id> endThread = std::make_shared<std::thread::id>();
    std::unique_ptr<BroadcastEngine> engine;
    std::unique_ptr<BroadcastMirror> mirror;
    std::vector<ConsoleAnswer> refusals;
};

struct EngineCase {
    const char* name;
    // Given while row b plays, with the load of the list the window shows.
    std::function<void(BroadcastEngine&, std::uint64_t generation)> command;
    std::vector<ConsoleAnswer> refusals;
};

class EngineCommands : public BroadcastEngineTest,
                       public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineCommands, ReachTheEngineAndTheirNewsTheWindowsCopy) {
    engine->Start();
    test::WaitForEngine(*engine);
    const std::uint64_t generation = mirror->list().Generation();
    engine->Play(1, generation);
    GetParam().command(*engine, generation);
    test::WaitForEngine(*engine);
    EXPECT_EQ(refusals, GetParam().refusals);
    ASSERT_NE(engine->list(), nullptr);
    EXPECT_EQ(mirror->list().Rows(), engine->list()->Rows());
    EXPECT_EQ(mirror->list().Generation(), engine->list()->Generation());
    const BroadcastClock& clock = *engine->clock();
    EXPECT_EQ(mirror->state(),
              (BroadcastState{clock.StatusText(), clock.Mode(), clock.NoBroadcastToday(),
                              clock.IsPlaying() ? clock.CurrentRow() : -1}));
}

using A = ConsoleAnswer;
using E = BroadcastEngine;

INSTANTIATE_TEST_SUITE_P(
    Engine, EngineCommands,
    ::testing::Values(
        EngineCase{"Add", [](E& e, auto) { e.AddRow(Item("x", "9:5:0", "/m/x.mp3")); }, {}},
        EngineCase{"ReplacePlaying",
                   [](E& e, auto g) { e.ReplaceRow(1, g, Item("x", "9:5:0", "/x")); },
                   {A::kCannotChangePlaying}},
        EngineCase{
            "DeletePlaying", [](E& e, auto g) { e.DeleteRow(1, g); }, {A::kCannotDeletePlaying}},
        EngineCase{"MovePlayingDown", [](E& e, auto g) { e.MoveRow(1, 1, g); }, {}},
        EngineCase{"Manual", [](E& e, auto) { e.SwitchMode(ControlMode::kManual); }, {}},
        EngineCase{"Stop", [](E& e, auto) { e.Stop(); }, {}},
        EngineCase{"PlayAfterReload",
                   [](E& e, auto g) {
                       e.ApplyNewSettings();
                       e.Play(2, g);
                   },
                   {A::kPlayOverReloaded}},
        EngineCase{"DayOffThenApply",
                   [](E& e, auto) {
                       HolidayCalendar calendar;
                       calendar.daysOff = {"12/7/2026"};
                       e.SetCalendar(calendar);
                       e.ApplyNewSettings();
                   },
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BroadcastEngineTest, OnItsOwnThreadItRunsApartAndRecordsTheEndOfTheProgram) {
    engine->RunOnOwnThread();
    engine->Start();
    test::WaitForEngine(*engine);
    engine->Play(1, mirror->list().Generation());
    test::WaitForEngine(*engine);
    EXPECT_TRUE(mirror->list().IsPlaying(1));
    EXPECT_EQ(mirror->state().statusText, "今天播放星期一的节目表！");
    EXPECT_TRUE(engine->Join(std::chrono::seconds(10)));
    EXPECT_EQ(*endCauses, std::vector<EndCause>{EndCause::kProgramExit});
    EXPECT_NE(*endThread, std::this_thread::get_id());
    EXPECT_FALSE(player.IsOpen());
}

}  // namespace
}  // namespace chimeon
