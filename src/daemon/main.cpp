// chimeond: the broadcaster without a window, for a console, cron or a systemd service.
#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QDBusConnection>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "broadcaster/broadcast_engine.h"
#include "broadcaster/network_output.h"
#include "broadcaster/service_link.h"
#include "broadcaster/signal_route.h"
#include "broadcaster/status_service.h"
#include "broadcaster/unattended_service.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "core/app/program_version.h"
#include "core/engine/folder_listing.h"
#include "core/engine/history_recorder.h"
#include "core/io/atomic_write.h"
#include "core/system/log.h"
#include "link/server/broadcaster_adaptor.h"
#include "platform/app/single_instance_lock.h"
#include "platform/audio/alsa_master_mixer.h"
#include "platform/engine/gst_media_player.h"
#include "platform/engine/gst_video_hop.h"
#include "platform/history/sqlite_play_history.h"
#include "platform/system/journal_log.h"
#include "platform/system/systemd_service_notifier.h"
#include "platform/system/timedated_clock_sync.h"
#ifdef CHIMEON_TEST_CLOCK
#include "app/file_local_clock.h"
#include "app/file_power_off.h"
#include "daemon/engine_blocker.h"
#else
#include "platform/system/logind_power_off.h"
#include "platform/system/system_local_clock.h"
#endif

int main(int argc, char* argv[]) {
    using namespace chimeon;
    CLI::App cli{
        "chimeond: the Chimeon broadcaster without a window (bells, music and "
        "announcements at their second, the daily shutdown, the holiday action)"};
    cli.set_version_flag("--version", "chimeond " + std::string(ProgramVersion()));
    std::string dataDirectoryOption;
    cli.add_option("--data-dir", dataDirectoryOption,
                   "data directory (default: the program's own)");
    cli.footer(
        "One broadcaster per data directory: a second copy ends at once (exit status 0). "
        "SIGHUP reloads the tables, the calendar and setup.ini; SIGTERM ends in order. On the "
        "session bus as org.chimeon.Broadcaster1 (see `chimeonctl status`).");
    CLI11_PARSE(cli, argc, argv);

    UseProgramLog("chimeond");
    std::filesystem::path dataDirectory;
    if (dataDirectoryOption.empty()) {
        dataDirectory = ProgramDirectory();
    } else {
        dataDirectory = dataDirectoryOption;
        std::error_code error;
        if (!std::filesystem::is_directory(dataDirectory, error)) {
            Log(LogLevel::kError, "start", "no data directory at " + dataDirectory.string());
            return 2;
        }
    }

    // One broadcaster per data directory, also when its "chimeon.lock" cannot be made (a
    // read-only data directory): the locks in the runtime folders guard it then.
    auto instanceLock = BroadcasterLock::Acquire(dataDirectory, std::getenv("XDG_RUNTIME_DIR"));
    if (!instanceLock) {
        return 0;
    }
    const std::string dataFolderProblem = instanceLock->dataFolderProblem();
    instanceLock->LogProblems();

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("chimeond"));
    // Routed from the start: a signal that comes while GStreamer scans its plugins is carried out
    // once the event loop runs, never the default action of SIGHUP (the end of the program).
    std::function<void(int)> onSignal = [](int) { QCoreApplication::exit(0); };
    // SIGTERM and SIGINT end the program in order, SIGHUP reloads.
    if (!RouteSignalsToEventLoop({SIGTERM, SIGINT, SIGHUP},
                                 [&onSignal](int signalNumber) { onSignal(signalNumber); })) {
        Log(LogLevel::kWarning, "start", "signals cannot be routed: SIGTERM ends at once");
    }
    TreatFileSizeLimitAsWriteFailure();
    RemoveStaleSaveTemporaries(dataDirectory);

#ifdef CHIMEON_TEST_CLOCK
    // Test build only: the time is read from a file the test writes, and nothing is powered off.
    FileLocalClock localClock(dataDirectory / "test-clock.txt");
    FilePowerOff powerOff(dataDirectory / "power-off.txt");
#else
    SystemLocalClock localClock;
    LogindPowerOff powerOff;
#endif
    // The network output, when setup.ini turns it on: started before the player that feeds it.
    std::unique_ptr<NetworkOutput> network = NetworkOutput::FromSetup(dataDirectory);
    GstMediaPlayerOptions playerOptions;
    if (network) {
        network->Configure(playerOptions);
    } else {
        // The sound card is the only output: its master volume at zero or muted silences a start.
        // (The network output's zones say their own mute.)
        playerOptions.outputSilence = [] { return ReadMasterSilence(); };
    }
    GstMediaPlayer player(playerOptions);
    FileSystemDirectoryLister lister;
    SqlitePlayHistory history(dataDirectory / kHistoryFileName);

    // The status page and the alerts hear of every event the history is given.
    HistoryTap historyTap(history);

    EngineParts engineParts(localClock, player, lister, dataDirectory);
    engineParts.makeObserver = [&historyTap](const LocalClock& clock, const TodayList& list) {
        return std::make_unique<HistoryRecorder>(clock, list, historyTap);
    };
    if (network) {
        network->Configure(engineParts);
    }
    BroadcastEngine engine(std::move(engineParts));
    // The window's preview shows the player's pictures through a socket of this data directory.
    if (std::shared_ptr<ShmVideoFeed> feed =
            ShmVideoFeed::Start(VideoSocketPath(dataDirectory, std::getenv("XDG_RUNTIME_DIR")))) {
        engine.SetSurface(std::move(feed));
    }
    TimedatedClockSync clockSync;
    const IniSettingsStore statusSection(dataDirectory / "setup.ini", std::string(kStatusSection));
    // A silent start, the clock and the alerts go to the journal, the page, the alerts and,
    // once the interface is there, the window's notices.
    std::function<void(NoticeTopic, const std::string&)> setNotice;
    StatusService status({engine, localClock, historyTap, clockSync, dataDirectory,
                          ReadStatusSettings(statusSection), std::chrono::minutes(1),
                          [&setNotice](NoticeTopic topic, const std::string& text) {
                              if (setNotice) {
                                  setNotice(topic, text);
                              }
                          }});
    if (network) {
        status.FollowZones([&network] { return network->Zones(); }, network->settings().stream);
    }
    SystemdServiceNotifier notifier;
    ServiceLink service(engine, localClock, notifier);
    UnattendedService unattended({engine, localClock, powerOff, &history, dataDirectory});
    auto endInOrder = [&] {
        service.Stopping();
        engine.Shutdown();  // the history records the end of the program
        QCoreApplication::exit(0);
    };
    QObject::connect(&unattended, &UnattendedService::endProgram, &application, endInOrder);
    auto reload = [&] {
        Log(LogLevel::kInfo, "start", "reloading the tables, the calendar and setup.ini");
        service.Reloading();
        unattended.Reload();
    };
    onSignal = [&](int signalNumber) {
        if (signalNumber == SIGHUP) {
            reload();
        } else {
            endInOrder();
        }
    };

    // The window and chimeonctl reach the broadcaster through the user's session bus; the bells
    // never depend on it.
    BroadcasterHooks hooks;
    hooks.reload = reload;
    hooks.reloadCalendar = [&unattended] { unattended.ReloadCalendar(); };
    hooks.quit = endInOrder;
    hooks.health = [&status] {
        return BroadcasterHealth{status.PageUrl(), status.PageProblem(), status.Clock()};
    };
    if (network) {
        hooks.zones = [&network] {
            return ZoneSnapshotJson(network->Zones(), network->settings().stream).dump();
        };
    }
    BroadcasterAdaptor adaptor(engine, dataDirectory, std::move(hooks));
    switch (adaptor.Register(QDBusConnection::sessionBus())) {
        case BroadcasterAdaptor::Registration::kDone:
            break;
        case BroadcasterAdaptor::Registration::kNoBus:
            Log(LogLevel::kWarning, "start",
                "no session bus: broadcasting without the window's and chimeonctl's commands");
            break;
        case BroadcasterAdaptor::Registration::kNameTaken:
            Log(LogLevel::kInfo, "start", "another broadcaster of this data directory runs");
            return 0;
    }
    setNotice = adaptor.NoticeSetter();
    // The status page lists what the window's notice area says.
    QObject::connect(&adaptor, &BroadcasterAdaptor::NoticesChanged, &status,
                     [&status](const BroadcasterNotices& notices) {
                         std::array<std::string, kNoticeTopicCount> texts;
                         for (const BroadcasterNotice& notice : notices) {
                             texts[static_cast<std::size_t>(notice.topic)] = notice.text;
                         }
                         for (std::size_t topic = 0; topic < texts.size(); ++topic) {
                             status.SetNotice(static_cast<NoticeTopic>(topic), texts[topic]);
                         }
                     });
    for (int topic = 0; topic < kNoticeTopicCount; ++topic) {
        const auto raised = static_cast<NoticeTopic>(topic);
        if (const std::string text = status.RaisedNotice(raised); !text.empty()) {
            setNotice(raised, text);
        }
    }
    if (!dataFolderProblem.empty()) {
        adaptor.NoticeReporter(NoticeTopic::kDataFolder)(dataFolderProblem);
    }
    if (network) {
        network->SetNoticeReporter(adaptor.NoticeReporter(NoticeTopic::kNetwork));
    }
    history.SetProblemListener(
        [report = adaptor.NoticeReporter(NoticeTopic::kPlayHistory)](const std::string& problem) {
            Log(problem.empty() ? LogLevel::kInfo : LogLevel::kError, "history",
                problem.empty() ? "the play history is written again" : problem);
            report(problem);
        });

    engine.RunOnOwnThread();
    service.StartWatchdog();
#ifdef CHIMEON_TEST_CLOCK
    EngineBlocker blocker(engine.thread(), dataDirectory);
#endif
    unattended.Start();
    engine.Start();
    const int exitCode = QCoreApplication::exec();
    if (!engine.Join(std::chrono::seconds(10))) {
        // Something on the engine's thread hangs: end without waiting for it.
        Log(LogLevel::kError, "start", "the broadcast engine did not end in time");
        history.Flush();
        std::_Exit(exitCode == 0 ? 1 : exitCode);
    }
    history.Flush();
    return exitCode;
}
