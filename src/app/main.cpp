// Chimeon: start-up and exit of the broadcast scheduler.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string_view>

#include "app/broadcaster_connection.h"
#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "core/app/program_version.h"
#include "core/audio/wave_recording_file.h"
#include "core/io/atomic_write.h"
#include "core/network/network_output_settings.h"
#include "core/network/zone_state.h"
#include "core/system/log.h"
#include "core/system/settings_console.h"
#include "platform/app/single_instance_lock.h"
#include "platform/audio/alsa_master_mixer.h"
#include "platform/audio/alsa_pcm.h"
#include "platform/audio/audio_path_check.h"
#include "platform/engine/gst_video_hop.h"
#include "platform/history/sqlite_play_history.h"
#include "platform/system/journal_log.h"
#include "platform/system/xdg_autostart_entry.h"
#include "ui/app/main_dlg.h"
#include "ui/app/startup.h"
#include "ui/app/style_sheet_skinning.h"
#include "ui/audio/record_page.h"
#include "ui/controls/about_page.h"
#include "ui/editing/holiday_page.h"
#include "ui/editing/table_page.h"
#include "ui/engine/today_page.h"
#include "ui/mp3/mp3_info_page.h"
#include "ui/system/settings_page.h"
#ifdef CHIMEON_TEST_CLOCK
#include "app/file_local_clock.h"
#include "app/window_blocker.h"
#else
#include "platform/system/system_local_clock.h"
#endif

namespace {

// How long the window waits for the broadcaster to know today's table before it is shown anyway.
constexpr int kStartupDayWaitMs = 5000;

}  // namespace

int main(int argc, char* argv[]) {
    using namespace chimeon;
    // Answered before any window, lock or data directory.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::cout << "chimeon " << ProgramVersion() << '\n';
            return 0;
        }
    }
    // The administrator's lines: the journal when the program runs as a service, else stderr.
    UseProgramLog("chimeon");
    const std::filesystem::path dataDirectory = ProgramDirectory();

    // A second window on the same data directory ends at once and silently; the first is not
    // disturbed. A read-only data directory is still guarded, by the lock in the runtime folder.
    // The broadcaster holds locks of its own.
    auto instanceLock =
        BroadcasterLock::Acquire(dataDirectory, std::getenv("XDG_RUNTIME_DIR"), kWindowLockName);
    if (!instanceLock) {
        return 0;
    }
    const std::string dataFolderProblem = instanceLock->dataFolderProblem();
    instanceLock->LogProblems();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chimeon"));
    // The window spends most of its life hidden in the tray; only the tray menu ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    EndInOrderOnTerminationSignals();
    TreatFileSizeLimitAsWriteFailure();
    // Only the one window of this data directory gets here: what its pages' interrupted saves
    // left behind can go.
    RemoveStaleSaveTemporaries(dataDirectory);
    if (LoadQtChineseTranslations(application) == nullptr) {
        Log(LogLevel::kWarning, "window",
            "Qt's Chinese translations (qtbase_zh_CN) are not installed; Qt's own buttons stay in "
            "English");
    }

    AppState state;
    IniSettingsStore settings(dataDirectory / "setup.ini");
    IniSettingsStore networkSection(dataDirectory / "setup.ini",
                                    std::string(kNetworkOutputSection));
    StyleSheetSkinning skinning;
    const std::vector<std::filesystem::path> skinFolders{dataDirectory / "skin",
                                                         InstalledSkinFolder()};
    if (!ApplyStartupSkin(settings, skinFolders, skinning, state)) {
        return 0;
    }
    LoadStartupSettings(settings, state);

#ifdef CHIMEON_TEST_CLOCK
    // Test build only: the time is read from a file the test writes, and nothing is powered off.
    FileLocalClock localClock(dataDirectory / "test-clock.txt");
#else
    SystemLocalClock localClock;
#endif
    XdgAutostartEntry autostart(
        AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), ExecutablePath(),
        dataDirectory);
    std::string mixerError;
    std::unique_ptr<AlsaMasterMixer> mixer =
        AlsaMasterMixer::Open("default", "Master", &mixerError);
    if (!mixer) {
        Log(LogLevel::kWarning, "mixer", "no master volume: " + mixerError);
    }
    // The window's own entries (a refused autostart entry); the broadcaster writes the rest.
    SqlitePlayHistory history(dataDirectory / kHistoryFileName);
    history.SetProblemListener([](const std::string& problem) {
        Log(problem.empty() ? LogLevel::kInfo : LogLevel::kError, "history",
            problem.empty() ? "the play history is written again" : problem);
    });
    AlsaPcmSystem soundDevices;
    CTodayPage* todayPage = nullptr;
    bool endAtStartup = false;

    // The broadcast runs in the broadcaster, a program of its own: nothing the window does, its
    // end or a crash included, delays or stops a bell. One is started when none runs.
    BroadcasterClient client(QDBusConnection::sessionBus(), dataDirectory);
    if (!client.bus().isConnected()) {
        Log(LogLevel::kError, "broadcaster",
            "no session bus: the window cannot reach the broadcaster");
    }
    ClientLink broadcaster(client, VideoSocketPath(dataDirectory, std::getenv("XDG_RUNTIME_DIR")));
    BroadcasterKeeper keeper(client, SystemLauncher(dataDirectory, ExecutablePath()));
    keeper.OnOutOfReach([&broadcaster](bool outOfReach) { broadcaster.SayOutOfReach(outOfReach); });
    keeper.StartWhenMissing();
#ifdef CHIMEON_TEST_CLOCK
    // Test build: says when it has reached the broadcaster (whole-program tests wait for this).
    QObject::connect(&broadcaster, &BroadcastLink::attached,
                     [] { std::cout << "chimeon: attached to the broadcaster" << std::endl; });
#endif

    // The network output's zones for the settings page, as the broadcaster follows them: the
    // page asks while it shows them (every two seconds) and shows the copy of the last answer.
    ZoneSnapshot networkZones{false, false, "正在向广播程序询问分区…", {}};
    QObject::connect(&client, &BroadcasterClient::zones, [&networkZones](const std::string& json) {
        networkZones = ZoneSnapshotFromJson(json).value_or(ZoneSnapshot{
            false, false, json.empty() ? "广播程序没有网络输出，或者没有回答" : "", {}});
    });

    PageMaker makePage = [&](PageKind kind) -> std::unique_ptr<CSubDialog> {
        if (kind == PageKind::kRecord) {
            auto page = std::make_unique<CRecordPage>(soundDevices);
            page->console().RememberFoldersIn(dataDirectory / kRecordingFoldersFileName);
            return page;
        }
        if (kind == PageKind::kMp3Info) {
            return std::make_unique<CMp3InfoPage>();
        }
        if (kind == PageKind::kAbout) {
            return std::make_unique<CAboutPage>(LocateDataFile(dataDirectory, kLogoFileName));
        }
        if (kind == PageKind::kSettings) {
            SettingsPageParts parts(
                {state, settings, localClock, autostart, skinning, skinFolders, &history});
            parts.networkSection = &networkSection;
            if (ReadNetworkOutputSettings(networkSection).enabled) {
                parts.networkZones = [&networkZones, &client] {
                    client.RequestZones();
                    return networkZones;
                };
            }
            parts.previewWindow = [&todayPage] {
                return todayPage != nullptr ? todayPage->preview() : nullptr;
            };
            return std::make_unique<CSettingsPage>(std::move(parts));
        }
        if (kind == PageKind::kTemplate) {
            return std::make_unique<CTemplatePage>(TablePageParts(state, dataDirectory));
        }
        if (kind == PageKind::kProgram) {
            return std::make_unique<CProgramPage>(TablePageParts(state, dataDirectory));
        }
        if (kind == PageKind::kHoliday) {
            return std::make_unique<CHolidayPage>(HolidayPageParts(
                state, dataDirectory, localClock, [&broadcaster](const HolidayCalendar& changed) {
                    broadcaster.CalendarChanged(changed);
                }));
        }
        if (kind != PageKind::kToday) {
            return nullptr;
        }
        TodayPageParts parts(state, settings, localClock, broadcaster);
        parts.audio.alsaMixer = mixer.get();
        parts.audio.probe = &AudioOutputProblem;
        // A sound server that comes up after the program brings the master volume with it.
        parts.audio.reopenMixer = [&mixer]() -> AlsaMasterMixer* {
            if (!mixer) {
                mixer = AlsaMasterMixer::Open("default", "Master");
            }
            return mixer.get();
        };
        auto page = std::make_unique<CTodayPage>(std::move(parts));
        todayPage = page.get();
        // What a crash left of a recording is made playable, and the operator told where.
        page->NoticeReporter(NoticeTopic::kRecordings)(
            RescuedRecordingsList(RescueRecordings(RecordingFoldersToRescue(
                CRecordPage::MusicFolder(), dataDirectory / kRecordingFoldersFileName))));
        if (!dataFolderProblem.empty()) {
            page->NoticeReporter(NoticeTopic::kDataFolder)(dataFolderProblem);
        }
        return page;
    };

    // The broadcaster's first state tells whether today is a day without broadcast: with the
    // holiday action "退出Chimeon" the broadcaster ends, and the window with it, before it is
    // shown. A broadcaster slow to choose today's table (a table on a share that does not answer)
    // or slow to come does not keep the window away for more than a few seconds.
    CMainDlg* startupWindow = nullptr;
    bool startupDayKnown = false;
    bool windowShown = false;
    auto showWindow = [&] {
        if (windowShown || endAtStartup || startupWindow == nullptr) {
            return;
        }
        windowShown = true;
        startupWindow->ShowAtStartup();
#ifdef CHIMEON_TEST_CLOCK
        // Test build: says when the window is up (the start-up bench waits for this line).
        QTimer::singleShot(0, [] { std::cout << "chimeon: main window shown" << std::endl; });
#endif
    };
    const bool endOnDayWithoutBroadcast =
        settings.GetInt(settings_key::kHoliday, 0) == static_cast<int>(HolidayAction::kEndProgram);
    QObject::connect(
        &broadcaster, &BroadcastLink::stateChanged, &application,
        [&](const BroadcastState& day) {
            if (startupDayKnown || startupWindow == nullptr) {
                return;
            }
            startupDayKnown = true;
            if (day.noBroadcastToday && endOnDayWithoutBroadcast && !windowShown) {
                endAtStartup = true;
                QCoreApplication::exit(0);
                return;
            }
            showWindow();
        },
        Qt::QueuedConnection);
    QTimer::singleShot(kStartupDayWaitMs, &application, showWindow);

    int exitCode = 0;
    {
        CMainDlg window(state, settings, dataDirectory, makePage);
        window.SetBroadcasterGoesOn([&keeper] { return keeper.RunsAsService(); });
        QObject::connect(&window, &CMainDlg::exitRequested, &application,
                         [&keeper] { keeper.EndWithWindow([] { QCoreApplication::exit(0); }); });
        startupWindow = &window;
        QObject::connect(&window, &CMainDlg::trayNoticeChanged, &application,
                         [&todayPage](const QString& notice) {
                             if (todayPage != nullptr) {
                                 todayPage->SetNotice(NoticeTopic::kTray, notice);
                             }
                         });
#ifdef CHIMEON_TEST_CLOCK
        WindowBlocker blocker(dataDirectory);
#endif
        exitCode = application.exec();
        startupWindow = nullptr;
    }  // the window takes its pages (and the preview window) and its tray icon with it
    history.Flush();
    skinning.Shutdown();
    return exitCode;
}
