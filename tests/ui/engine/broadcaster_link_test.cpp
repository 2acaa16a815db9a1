#include <gtest/gtest.h>
#include <QDeadlineTimer>

#include <unistd.h>
#include "broadcaster/broadcast_engine.h"

#include <QDBusConnectionInterface>
#include <QTimer>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

#include "app/broadcaster_connection.h"
#include "broadcaster/status_service.h"

#include "core/app/broadcaster_bus_name.h"
#include "core/schedule/schedule_file.h"
#include "link/broadcaster_client.h"
#include "link/server/broadcaster_adaptor.h"
#include "support/fake_engine_ports.h"
#include "support/fake_local_clock.h"
#include "support/fake_media_player.h"
#include "support/fake_system_ports.h"
#include "support/private_bus.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"
#include "ui/engine/broadcast_mirror.h"

namespace chimeon {
namespace {

ProgramItem Item(std::string title, std::string start, std::string path) {
    return ProgramItem{std::move(title), std::move(start), std::string(kEndPlayOnce), "100", "",
                       std::move(path)};
}

// Processes events until `done` holds (at most a few seconds; false then).
bool RunUntil(const std::function<bool()>& done) {
    QTimer wake;  // the wait below always ends now and then
    wake.start(50);
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QCoreApplication::processEvents();  // what the last news queued (the mirror's copy)
    return done();
}

// Processes events for `ms` milliseconds.
void RunFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// A broadcaster (the engine on a fake clock, Monday 2026-12-07 7:59:59, rows a, b at 8:0:0 and c)
// behind the interface on a private bus, and the window's side: the client and a mirror fed by
// it, on another connection.
class BroadcasterLinkTest : public ::testing::Test, public test::WithApp {
protected:
    static void SetUpTestSuite() {
        test::App();
        bus = new test::PrivateBus;
        const QString address = QString::fromStdString(bus->address());
        serverBus = new QDBusConnection(QDBusConnection::connectToBus(address, "broadcaster"));
        windowBus = new QDBusConnection(QDBusConnection::connectToBus(address, "window"));
    }
    static void TearDownTestSuite() {
        delete serverBus;
        delete windowBus;
        QDBusConnection::disconnectFromBus("broadcaster");
        QDBusConnection::disconnectFromBus("window");
        delete bus;
    }

    BroadcasterLinkTest() {
        EXPECT_TRUE(SaveScheduleFile(
            dir / "Day1.dat", {Item("a", "7:0:0", "/m/a.mp3"), Item("b", "8:0:0", "/m/b.mp3"),
                               Item("c", "9:0:0", "/m/c.mp3")}));
        player.AddFile("/m/b.mp3", 60'000);
        player.AddFile("/m/c.mp3", 60'000);
        localClock.SetMs(test::MsFromLocal(2026, 12, 7, 7, 59, 59));
        EngineParts parts(localClock, player, lister, dir.path());
        parts.measureDurations = false;
        engine = std::make_unique<BroadcastEngine>(std::move(parts));
        engine->Start();
    }
    ~BroadcasterLinkTest() override { Unserve(); }

    void Serve(BroadcasterHooks hooks = {}) {
        adaptor = std::make_unique<BroadcasterAdaptor>(*engine, dir.path(), std::move(hooks));
        ASSERT_EQ(adaptor->Register(*serverBus), BroadcasterAdaptor::Registration::kDone);
    }
    void Unserve() {
        if (adaptor != nullptr) {
            serverBus->interface()->unregisterService(
                QString::fromStdString(BroadcasterBusName(dir.path())));
            adaptor.reset();
        }
    }
    void Attach() {
        client = std::make_unique<BroadcasterClient>(*windowBus, dir.path());
        mirror = std::make_unique<BroadcastMirror>(*client);
        ASSERT_TRUE(RunUntil([this] { return client->IsAttached(); }));
    }
    BroadcasterAnswer Send(
        const std::function<void(BroadcasterClient&, BroadcasterClient::Answered)>& command) {
        std::optional<BroadcasterAnswer> answer;
        command(*client, [&answer](const BroadcasterAnswer& given) { answer = given; });
        EXPECT_TRUE(RunUntil([&answer] { return answer.has_value(); }));
        return answer.value_or(BroadcasterAnswer{ConsoleAnswer::kNothing, "", "no answer"});
    }
    void ExpectCopyEqualsBroadcaster() {
        test::WaitForEngine(*engine);
        ASSERT_NE(engine->list(), nullptr);
        EXPECT_EQ(mirror->list().Rows(), engine->list()->Rows());
        EXPECT_EQ(mirror->list().Generation(), engine->list()->Generation());
        const BroadcastClock& clock = *engine->clock();
        EXPECT_EQ(mirror->state(),
                  (BroadcastState{clock.StatusText(), clock.Mode(), clock.NoBroadcastToday(),
                                  clock.IsPlaying() ? clock.CurrentRow() : -1}));
    }

    static inline test::PrivateBus* bus = nullptr;
    static inline QDBusConnection* serverBus = nullptr;
    static inline QDBusConnection* windowBus = nullptr;
    test::TempDir dir;
    test::FakeLocalClock localClock;
    test::FakeMediaPlayer player{[] { return std::int64_t{0}; }};
    test::FakeDirectoryLister lister;
    std::unique_ptr<BroadcastEngine> engine;
    std::unique_ptr<BroadcasterAdaptor> adaptor;
    std::unique_ptr<BroadcasterClient> client;
    std::unique_ptr<BroadcastMirror> mirror;
};

using A = ConsoleAnswer;
using Done = BroadcasterClient::Answered;

struct LinkCase {
    const char* name;
    // Given with the load of the list the window shows.
    std::function<void(BroadcasterClient&, std::uint64_t generation, Done)> command;
    ConsoleAnswer whileWaiting;
    ConsoleAnswer whileBPlays;
};

class LinkCommands : public BroadcasterLinkTest,
                     public ::testing::WithParamInterface<std::tuple<LinkCase, bool>> {};

TEST_P(LinkCommands, AreAnsweredOnceCarriedOutAndTheWindowsCopyFollows) {
    const auto& [command, bPlays] = GetParam();
    Serve();
    Attach();
    ExpectCopyEqualsBroadcaster();
    const std::uint64_t generation = mirror->list().Generation();
    if (bPlays) {
        const auto play = Send([&](auto& c, Done d) { c.Play(1, generation, std::move(d)); });
        EXPECT_EQ(play.answer, A::kDone);
        ASSERT_TRUE(mirror->list().IsPlaying(1));
        ExpectCopyEqualsBroadcaster();
    }
    const BroadcasterAnswer answer =
        Send([&](auto& c, Done d) { command.command(c, generation, std::move(d)); });
    EXPECT_TRUE(answer.Delivered()) << answer.error;
    const ConsoleAnswer expected = bPlays ? command.whileBPlays : command.whileWaiting;
    EXPECT_EQ(answer.answer, expected);
    EXPECT_EQ(answer.reminder, ConsoleAnswerText(expected));
    ExpectCopyEqualsBroadcaster();
}

using C = BroadcasterClient;

INSTANTIATE_TEST_SUITE_P(
    Link, LinkCommands,
    ::testing::Combine(
        ::testing::Values(
            LinkCase{"Play", [](C& c, auto g, Done d) { c.Play(2, g, d); }, A::kDone, A::kDone},
            LinkCase{"PlayOverReloaded", [](C& c, auto g, Done d) { c.Play(2, g + 1, d); },
                     A::kPlayOverReloaded, A::kPlayOverReloaded},
            LinkCase{"Stop", [](C& c, auto, Done d) { c.Stop(d); }, A::kDone, A::kDone},
            LinkCase{"Manual", [](C& c, auto, Done d) { c.SwitchMode(ControlMode::kManual, d); },
                     A::kDone, A::kDone},
            LinkCase{"Apply", [](C& c, auto, Done d) { c.ApplyNewSettings(d); }, A::kDone,
                     A::kDone},
            LinkCase{"Add",
                     [](C& c, auto, Done d) { c.AddRow(Item("x", "9:5:0", "/m/x.mp3"), d); },
                     A::kDone, A::kDone},
            LinkCase{"Replace",
                     [](C& c, auto g, Done d) { c.ReplaceRow(1, g, Item("x", "8:0:0", "/x"), d); },
                     A::kDone, A::kCannotChangePlaying},
            LinkCase{"ReplaceOverReloaded",
                     [](C& c, auto g, Done d) { c.ReplaceRow(0, g + 1, Item("x", "", ""), d); },
                     A::kEditOverReloaded, A::kEditOverReloaded},
            LinkCase{"Delete", [](C& c, auto g, Done d) { c.DeleteRow(1, g, d); }, A::kDone,
                     A::kCannotDeletePlaying},
            LinkCase{"MoveDown", [](C& c, auto g, Done d) { c.MoveRow(1, 1, g, d); }, A::kDone,
                     A::kDone},
            // The window's play is on its way while another window reloads the list.
            LinkCase{"ReloadWhileAPlayIsOnItsWay",
                     [](C& c, auto g, Done d) {
                         c.Reload();
                         c.Play(2, g, d);
                     },
                     A::kPlayOverReloaded, A::kPlayOverReloaded}),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_WhileBPlays" : "_WhileWaiting");
    });

TEST_F(BroadcasterLinkTest, AttachesWhenTheBroadcasterComesAndAgainWhenItComesBack) {
    client = std::make_unique<BroadcasterClient>(*windowBus, dir.path());
    mirror = std::make_unique<BroadcastMirror>(*client);
    // The window's side: its link says when the broadcaster is away, and what the page shows.
    ClientLink window(*client, dir.path() / "video.sock");
    int detachments = 0;
    QObject::connect(&window, &BroadcastLink::detached, [&] { ++detachments; });
    std::string said;
    QObject::connect(&window, &BroadcastLink::notice, [&](NoticeTopic topic, const auto& text) {
        if (topic == NoticeTopic::kBroadcaster) {
            said = text;
        }
    });
    BroadcasterNotices notices;
    QObject::connect(client.get(), &BroadcasterClient::noticesChanged,
                     [&](const BroadcasterNotices& given) { notices = given; });
    EXPECT_FALSE(client->IsAttached());

    Serve();
    ASSERT_TRUE(RunUntil([this] { return client->IsAttached(); }));
    ExpectCopyEqualsBroadcaster();
    adaptor->NoticeReporter(NoticeTopic::kPlayHistory)("disk full");
    EXPECT_TRUE(RunUntil([&] { return !notices.empty(); }));
    EXPECT_EQ(notices,
              (BroadcasterNotices{{NoticeTopic::kPlayHistory,
                                   ReportedNotice(NoticeTopic::kPlayHistory, "disk full")}}));

    // Restarted (by systemd, say): what changed meanwhile reaches the copy with the new snapshot.
    Unserve();
    ASSERT_TRUE(RunUntil([&] { return detachments == 1; }));
    // A copy holds the lock off the window's bus, and then no longer.
    window.SayOutOfReach(true);
    EXPECT_EQ(said, kBroadcasterOutOfReach);
    window.SayOutOfReach(false);
    EXPECT_EQ(said, NoticeLead(NoticeTopic::kBroadcaster));
    engine->AddRow(Item("x", "9:5:0", "/m/x.mp3"));
    Serve();
    engine->Start();  // a new adaptor learns the engine's state from its news
    ASSERT_TRUE(RunUntil([this] { return client->IsAttached(); }));
    EXPECT_EQ(mirror->list().RowCount(), 4);
    ExpectCopyEqualsBroadcaster();
    EXPECT_TRUE(notices.empty());
}

// The system's time service as the status service asks it.
class AnsweringClockSync : public ClockSyncSource {
public:
    ClockHealth Ask() override { return {sync.load(), ""}; }
    std::atomic<ClockSync> sync{ClockSync::kNotSynchronized};
};

class LinkNotices;
struct NoticeCase {
    const char* name;
    NoticeTopic topic;
    // Raises the notice in the broadcaster, or clears it, as the part that owns it does.
    std::function<void(LinkNotices& test, bool raised)> report;
};

class LinkNotices : public BroadcasterLinkTest, public ::testing::WithParamInterface<NoticeCase> {
public:
    void InItsOwnWords(NoticeTopic topic, bool raised) {
        adaptor->NoticeReporter(topic)(raised ? "磁盘已满" : "");
    }
    void Worded(NoticeTopic topic, bool raised) {
        adaptor->NoticeSetter()(topic, raised ? ReportedNotice(topic, "hall") : "");
    }
    // The status service asks the clock's health at once and then every 20 ms.
    void FromStatusService(bool raised) {
        clockSync.sync = raised ? ClockSync::kNotSynchronized : ClockSync::kSynchronized;
        if (raised) {
            StatusSettings settings;
            settings.port = 0;
            status = std::make_unique<StatusService>(
                StatusServiceParts{*engine, localClock, tap, clockSync, dir.path(), settings,
                                   std::chrono::milliseconds(20), adaptor->NoticeSetter()});
        }
    }

    AnsweringClockSync clockSync;
    test::RecordedHistory history;
    HistoryTap tap{history};
    std::unique_ptr<StatusService> status;
};

TEST_P(LinkNotices, ReachTheWindowsNoticeAreaAndChimeonctlAndClearThere) {
    const NoticeCase& notice = GetParam();
    Serve();
    Attach();
    ClientLink window(*client, dir.path() / "video.sock");
    std::map<NoticeTopic, std::string> shown;
    QObject::connect(&window, &BroadcastLink::notice,
                     [&](NoticeTopic topic, const std::string& text) { shown[topic] = text; });
    notice.report(*this, true);
    ASSERT_TRUE(RunUntil([&] { return !shown[notice.topic].empty(); }));
    EXPECT_TRUE(shown[notice.topic].starts_with(NoticeLead(notice.topic))) << shown[notice.topic];

    // chimeonctl status asks for the snapshot.
    BroadcasterClient ctl(*windowBus, dir.path());
    BroadcasterNotices listed;
    QObject::connect(&ctl, &BroadcasterClient::noticesChanged,
                     [&](const BroadcasterNotices& given) { listed = given; });
    ASSERT_TRUE(RunUntil([&] { return ctl.IsAttached(); }));
    EXPECT_EQ(listed, (BroadcasterNotices{{notice.topic, shown[notice.topic]}}));

    notice.report(*this, false);
    EXPECT_TRUE(RunUntil([&] { return shown[notice.topic].empty(); }));
    EXPECT_EQ(shown.size(), 1U);
}

using N = NoticeTopic;
using L = LinkNotices;

INSTANTIATE_TEST_SUITE_P(
    Link, LinkNotices,
    ::testing::Values(
        NoticeCase{"PlayHistory", N::kPlayHistory,
                   [](L& t, bool on) { t.InItsOwnWords(N::kPlayHistory, on); }},
        NoticeCase{"Network", N::kNetwork, [](L& t, bool on) { t.InItsOwnWords(N::kNetwork, on); }},
        NoticeCase{"DataFolder", N::kDataFolder,
                   [](L& t, bool on) { t.InItsOwnWords(N::kDataFolder, on); }},
        NoticeCase{"SilentStart", N::kSilentStart,
                   [](L& t, bool on) { t.Worded(N::kSilentStart, on); }},
        NoticeCase{"Alerts", N::kAlerts, [](L& t, bool on) { t.Worded(N::kAlerts, on); }},
        NoticeCase{"ClockOfTheStatusService", N::kClock,
                   [](L& t, bool on) { t.FromStatusService(on); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct KeeperCase {
    const char* name;
    bool runsBefore;   // a broadcaster is on the bus before the window
    bool unit;         // the user unit is enabled for the data directory
    bool noBus;        // the window has no session bus
    bool comesUp;      // what is started comes onto the bus
    bool staysAlive;   // ... or at least its process stays
    bool dies;         // ... and dies once up
    bool otherWins;    // another copy started at the same moment is the one on the bus
    int starts;        // broadcasters (programs or the unit) started in all
    bool endedOnExit;  // "退出" ends the broadcaster (else it goes on, and the window says so)
    // A copy off the window's bus holds the lock: 1 throughout, 2 until it ends, 3 until it
    // comes onto the bus.
    int outOfReach = 0;
    int relaunchMs = 10;  // long: one that died is started again at once, not by the timer
};

class KeeperRules : public BroadcasterLinkTest, public ::testing::WithParamInterface<KeeperCase> {};

TEST_P(KeeperRules, StartAndEndOnlyTheWindowsOwnBroadcaster) {
    const KeeperCase& c = GetParam();
    int quits = 0;
    int starts = 0;
    bool alive = false;
    bool held = c.outOfReach != 0;
    std::vector<bool> told;
    std::vector<qint64> terminated;
    auto serve = [&] {
        BroadcasterHooks hooks;
        hooks.quit = [&quits] { ++quits; };
        Serve(std::move(hooks));
    };
    if (c.runsBefore) {
        serve();
    }
    const QDBusConnection noBus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none");
    client = std::make_unique<BroadcasterClient>(c.noBus ? noBus : *windowBus, dir.path());
    auto start = [&] {
        ++starts;
        alive = c.staysAlive;
        if (c.comesUp && !c.noBus) {
            serve();
        }
    };
    // The broadcaster "started" is served by this process, whose pid the bus reports.
    BroadcasterLauncher launcher{
        [&] { return c.unit; },
        [&] { return start(), true; },
        [&]() -> qint64 { return start(), c.otherWins ? getpid() + 1 : getpid(); },
        [&](qint64) { return alive; },
        [&](qint64 pid) { terminated.push_back(pid); },
        [&] { return held; }};
    BroadcasterKeeper keeper(*client, launcher, c.relaunchMs);
    keeper.OnOutOfReach([&told](bool outOfReach) { told.push_back(outOfReach); });
    keeper.StartWhenMissing();
    RunFor(300);  // many times the time to start again
    EXPECT_EQ(told.empty(), c.outOfReach == 0);
    if (c.dies) {
        Unserve();
        alive = false;
    }
    held = held && c.outOfReach != 2;
    if (c.outOfReach == 3) {
        serve();
    }
    if (c.dies || c.outOfReach > 1) {
        EXPECT_TRUE(RunUntil([&] { return starts == c.starts && client->IsAttached(); }));
    }
    EXPECT_EQ(starts, c.starts);
    EXPECT_EQ(told, c.outOfReach == 0   ? std::vector<bool>{}
                    : c.outOfReach == 1 ? std::vector<bool>{true}
                                        : (std::vector<bool>{true, false}));
    EXPECT_EQ(keeper.RunsAsService(), !c.endedOnExit);
    bool ended = false;
    keeper.EndWithWindow([&ended] { ended = true; });
    ASSERT_TRUE(RunUntil([&] { return ended; }));
    EXPECT_EQ(quits + static_cast<int>(terminated.size()), c.endedOnExit ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keeper, KeeperRules,
    ::testing::Values(
        KeeperCase{"AttachesToOneRunning", true, false, false, false, false, false, false, 0,
                   false},
        KeeperCase{"StartsOneAndEndsIt", false, false, false, true, true, false, false, 1, true},
        KeeperCase{"WaitsForOneStarting", false, false, false, false, true, false, false, 1, true},
        KeeperCase{"StartsAgainAtOnceOneThatDied", false, false, false, true, true, true, false, 2,
                   true, 0, 60'000},
        KeeperCase{"StartsOneWhenTheOneFoundRunningEnds", true, false, false, true, true, true,
                   false, 1, true},
        KeeperCase{"LeavesTheUnitsAlone", false, true, false, true, true, false, false, 1, false},
        KeeperCase{"LeavesOneStartedElsewhere", false, false, false, true, true, false, true, 1,
                   false},
        KeeperCase{"WithoutBusStartsOnce", false, false, true, false, true, false, false, 1, true},
        // A copy from another login holds the lock: none is started to end on it.
        KeeperCase{"WaitsForOneOutOfReach", false, false, false, true, true, false, false, 0, false,
                   1},
        KeeperCase{"WaitsForOneOutOfReachWithTheUnit", false, true, false, true, true, false, false,
                   0, false, 1},
        KeeperCase{"StartsOneWhenTheCopyOutOfReachEnds", false, false, false, true, true, false,
                   false, 1, true, 2},
        KeeperCase{"AttachesWhenTheCopyOutOfReachComesOntoTheBus", false, false, false, false,
                   false, false, false, 0, false, 3},
        KeeperCase{"WithoutBusStartsNoneBesideOneOutOfReach", false, false, true, false, false,
                   false, false, 0, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BroadcasterLinkTest, CallersOfAnotherUserAreRefused) {
    EXPECT_TRUE(MayCall(1000, 1000));
    EXPECT_FALSE(MayCall(0, 1000));  // root is not the broadcaster's user either
    BroadcasterHooks hooks;
    hooks.ownUid = getuid() + 1;
    Serve(std::move(hooks));
    client = std::make_unique<BroadcasterClient>(*windowBus, dir.path());
    const BroadcasterAnswer answer = Send([](auto& c, Done d) { c.Stop(std::move(d)); });
    EXPECT_EQ(answer.error, "只有运行广播程序的用户才能操作它");
    EXPECT_FALSE(client->IsAttached());
}

}  // namespace
}  // namespace chimeon
