#include "ui/engine/broadcast_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>

#include "core/schedule/schedule_file.h"
#include "support/clock_rig.h"
#include "support/fake_engine_ports.h"
#include "support/temp_dir.h"
#include "ui/engine/broadcast_mirror.h"
#include "ui/engine/qt_clock_timer.h"
#include "ui/ui_test_support.h"

namespace chimeon {
namespace {

ProgramItem Item(std::string title, std::string start, std::string path) {
    return ProgramItem{std::move(title), std::move(start), std::string(kEndPlayOnce), "100", "",
                       std::move(path)};
}

struct EngineCase {
    const char* name;
    bool rowPlaying;  // row 1 ("b") plays when the command is given
    std::function<void(BroadcastEngine&)> command;
    std::vector<ConsoleAnswer> refusals;
};

void PrintTo(const EngineCase& c, std::ostream* out) {
    *out << c.name;
}

// Records on which thread the clock's news came, and what ended.
struct ThreadObserver : BroadcastClockObserver {
    void OnRowEnded(int, EndCause cause) override {
        const std::lock_guard lock(mutex);
        thread = std::this_thread::get_id();
        ends.push_back(cause);
    }
    std::mutex mutex;
    std::thread::id thread;
    std::vector<EndCause> ends;
};

// An engine on a fake clock (Monday 2026-12-07 7:59:59) and a fake player; the window's copy of
// its list and state, and its refusals.
class BroadcastEngineTest : public ::testing::Test, public test::WithApp {
protected:
    BroadcastEngineTest() {
        EXPECT_TRUE(SaveScheduleFile(
            dir / "Day1.dat", {Item("a", "7:0:0", "/m/a.mp3"), Item("b", "8:0:0", "/m/b.mp3"),
                               Item("c", "9:0:0", "/m/c.mp3")}));
        player.AddFile("/m/b.mp3", 60'000);
        const std::int64_t now = test::MsFromLocal(2026, 12, 7, 7, 59, 59);
        localClock.SetMs(now);
        EngineParts parts(localClock, player, lister, dir.path());
        parts.measureDurations = false;
        parts.makeObserver = [this](const LocalClock&, const TodayList&) {
            return std::make_unique<Observed>(observer);
        };
        engine = std::make_unique<BroadcastEngine>(std::move(parts));
        mirror = std::make_unique<BroadcastMirror>(*engine);
        QObject::connect(
            engine.get(), &BroadcastEngine::refused, mirror.get(),
            [this](ConsoleAnswer answer) { refusals.push_back(answer); }, Qt::QueuedConnection);
    }

    // Hands the news on to the test's observer, which outlives the engine.
    struct Observed : BroadcastClockObserver {
        explicit Observed(ThreadObserver& to) : to(to) {}
        void OnRowEnded(int row, EndCause cause) override { to.OnRowEnded(row, cause); }
        ThreadObserver& to;
    };

    test::TempDir dir;
    test::FakeLocalClock localClock;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    ThreadObserver observer;
    std::unique_ptr<BroadcastEngine> engine;
    std::unique_ptr<BroadcastMirror> mirror;
    std::vector<ConsoleAnswer> refusals;
};

class EngineCommands : public BroadcastEngineTest,
                       public ::testing::WithParamInterface<EngineCase> {};

TEST_P(EngineCommands, ReachTheEngineAndTheirNewsTheWindowsCopy) {
    const EngineCase& c = GetParam();
    engine->Start();
    test::WaitForEngine(*engine);
    if (c.rowPlaying) {
        engine->Play(1);
    }
    c.command(*engine);
    test::WaitForEngine(*engine);
    EXPECT_EQ(refusals, c.refusals);
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
const ProgramItem kEdited = Item("x", "9:5:0", "/m/x.mp3");
HolidayCalendar DayOffToday() {
    HolidayCalendar calendar;
    calendar.daysOff = {"12/7/2026"};
    return calendar;
}

INSTANTIATE_TEST_SUITE_P(
    Engine, EngineCommands,
    ::testing::Values(
        EngineCase{"Add", true, [](E& e) { e.AddRow(kEdited); }, {}},
        EngineCase{"Replace", false, [](E& e) { e.ReplaceRow(1, 1, kEdited); }, {}},
        EngineCase{"ReplacePlaying",
                   true,
                   [](E& e) { e.ReplaceRow(1, 1, kEdited); },
                   {A::kCannotChangePlaying}},
        EngineCase{"ReplaceAfterReload",
                   false,
                   [](E& e) { e.ReplaceRow(1, 0, kEdited); },
                   {A::kEditOverReloaded}},
        EngineCase{"Delete", true, [](E& e) { e.DeleteRow(0); }, {}},
        EngineCase{"DeletePlaying", true, [](E& e) { e.DeleteRow(1); }, {A::kCannotDeletePlaying}},
        EngineCase{"MoveUp", true, [](E& e) { e.MoveRow(1, -1); }, {}},
        EngineCase{"MoveDown", false, [](E& e) { e.MoveRow(1, 1); }, {}},
        EngineCase{"Play", false, [](E& e) { e.Play(1); }, {}},
        EngineCase{"PlayAnother", true, [](E& e) { e.Play(2); }, {}},
        EngineCase{"Stop", true, [](E& e) { e.Stop(); }, {}},
        EngineCase{"Manual", true, [](E& e) { e.SwitchMode(ControlMode::kManual); }, {}},
        EngineCase{"Apply", true, [](E& e) { e.ApplyNewSettings(); }, {}},
        EngineCase{"CalendarThenApply",
                   false,
                   [](E& e) {
                       e.SetCalendar(DayOffToday());
                       e.ApplyNewSettings();
                   },
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BroadcastEngineTest, ARowDueWhileNothingElseHappensReachesTheWindow) {
    engine->Start();
    test::WaitForEngine(*engine);
    ASSERT_TRUE(engine->stepTimer()->IsArmed());
    const std::int64_t due = test::MsFromLocal(2026, 12, 7, 8, 0, 0);
    localClock.SetMs(due);
    engine->stepTimer()->Fire();
    test::WaitForEngine(*engine);
    EXPECT_EQ(mirror->list().Cell(1, kColumnState), kStatePlaying);
    EXPECT_EQ(mirror->state().watchedRow, 1);
}

TEST_F(BroadcastEngineTest, OnItsOwnThreadItRunsApartAndRecordsTheEndOfTheProgram) {
    engine->RunOnOwnThread();
    engine->SetCalendar(HolidayCalendar{});
    engine->Start();
    engine->Play(1);
    test::WaitForEngine(*engine);
    EXPECT_EQ(mirror->list().Cell(1, kColumnState), kStatePlaying);
    EXPECT_EQ(mirror->state().statusText, "今天播放星期一的节目表！");
    EXPECT_TRUE(engine->Join(std::chrono::seconds(10)));
    EXPECT_EQ(observer.ends, std::vector<EndCause>{EndCause::kProgramExit});
    EXPECT_NE(observer.thread, std::this_thread::get_id());
    engine->Play(0);  // after the end: nothing
    QCoreApplication::processEvents();
    EXPECT_FALSE(player.IsOpen());
}

}  // namespace
}  // namespace chimeon
