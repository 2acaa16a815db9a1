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

#include "broadcaster/broadcast_engine.h"
#include "broadcaster/status_service.h"
#include "broadcaster/unattended_service.h"
#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "core/app/program_version.h"
#include "core/audio/wave_recording_file.h"
#include "core/engine/folder_listing.h"
#include "core/engine/history_recorder.h"
#include "core/io/atomic_write.h"
#include "core/system/log.h"
#include "platform/app/single_instance_lock.h"
#include "platform/audio/alsa_master_mixer.h"
#include "platform/audio/alsa_pcm.h"
#include "platform/audio/audio_path_check.h"
#include "platform/engine/gst_media_player.h"
#include "platform/history/sqlite_play_history.h"
#include "platform/system/journal_log.h"
#include "platform/system/timedated_clock_sync.h"
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
#include "app/file_power_off.h"
#include "app/window_blocker.h"
#else
#include "platform/system/logind_power_off.h"
#include "platform/system/system_local_clock.h"
#endif

namespace {

// The play history's last problem ("" when none), passed on to whoever shows it.
class HistoryHealth {
public:
    void Report(const std::string& problem) {
        const std::lock_guard lock(mutex_);
        last_ = problem;
        if (shown_) {
            shown_(problem);
        }
    }
    void ShowOn(std::function<void(const std::string&)> show) {
        const std::lock_guard lock(mutex_);
        shown_ = std::move(show);
        if (!last_.empty()) {
            shown_(last_);
        }
    }

private:
    std::mutex mutex_;
    std::string last_;
    std::function<void(const std::string&)> shown_;
};

// How long the window waits for the engine to know today's table before it is shown anyway.
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

    // A second copy on the same data directory ends at once and silently; the first is not
    // disturbed. A read-only data directory is still guarded, by the lock in the runtime folder.
    auto instanceLock = BroadcasterLock::Acquire(dataDirectory, std::getenv("XDG_RUNTIME_DIR"));
    if (!instanceLock) {
        return 0;
    }
    const std::string dataFolderProblem = instanceLock->dataFolderProblem();
    if (!dataFolderProblem.empty()) {
        Log(LogLevel::kWarning, "data",
            "the data directory cannot be written: " + dataFolderProblem);
    }
    if (!instanceLock->runtimeLockHeld()) {
        Log(LogLevel::kWarning, "lock",
            "no lock in the runtime folder or /tmp: a second copy on this data directory would "
            "not be seen");
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chimeon"));
    // The window spends most of its life hidden in the tray; only the tray menu ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    EndInOrderOnTerminationSignals();
    TreatFileSizeLimitAsWriteFailure();
    // Only the one broadcaster of this data directory gets here: what its own interrupted saves
    // left behind can go.
    RemoveStaleSaveTemporaries(dataDirectory);
    if (LoadQtChineseTranslations(application) == nullptr) {
        Log(LogLevel::kWarning, "window",
            "Qt's Chinese translations (qtbase_zh_CN) are not installed; Qt's own buttons stay in "
            "English");
    }

    AppState state;
    IniSettingsStore settings(dataDirectory / "setup.ini");
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
    FilePowerOff powerOff(dataDirectory / "power-off.txt");
#else
    SystemLocalClock localClock;
    LogindPowerOff powerOff;
#endif
    XdgAutostartEntry autostart(
        AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), ExecutablePath(),
        dataDirectory);
    // Everything the broadcast engine drives lives longer than the engine.
    GstMediaPlayer player;
    FileSystemDirectoryLister lister;
    std::string mixerError;
    std::unique_ptr<AlsaMasterMixer> mixer =
        AlsaMasterMixer::Open("default", "Master", &mixerError);
    if (!mixer) {
        Log(LogLevel::kWarning, "mixer", "no master volume: " + mixerError);
    }
    SqlitePlayHistory history(dataDirectory / kHistoryFileName);
    // The history's health, reported on the writer's thread: on standard error, and in the today
    // page's notices once the page is there (a problem found before it is shown when it comes).
    auto historyHealth = std::make_shared<HistoryHealth>();
    history.SetProblemListener([historyHealth](const std::string& problem) {
        Log(problem.empty() ? LogLevel::kInfo : LogLevel::kError, "history",
            problem.empty() ? "the play history is written again" : problem);
        historyHealth->Report(problem);
    });
    AlsaPcmSystem soundDevices;
    CTodayPage* todayPage = nullptr;
    bool endAtStartup = false;

    // The broadcast runs on a thread of its own: nothing the window does delays a bell.
    EngineParts engineParts(localClock, player, lister, dataDirectory);
    // Today's table is chosen by the stored calendar, read again whenever it is saved (by the
    // unattended rules below); the holiday page also sends every change it makes in memory (as a
    // copy), as it always has.
    engineParts.calendar = LoadHolidayCalendar(dataDirectory);
    // The status page and the alerts hear of every event the history is given.
    HistoryTap historyTap(history);
    engineParts.makeObserver = [&historyTap](const LocalClock& clock, const TodayList& list) {
        return std::make_unique<HistoryRecorder>(clock, list, historyTap);
    };
    BroadcastEngine engine(std::move(engineParts));
    TimedatedClockSync clockSync;
    const IniSettingsStore statusSection(dataDirectory / "setup.ini", std::string(kStatusSection));
    // A silent start and an unsynchronised clock in the today page's notices.
    StatusService status({engine, localClock, historyTap, clockSync, dataDirectory,
                          ReadStatusSettings(statusSection), std::chrono::minutes(1),
                          [&todayPage](NoticeTopic topic, const std::string& text) {
                              if (todayPage != nullptr) {
                                  todayPage->SetNotice(topic, QString::fromStdString(text));
                              }
                          }});
    // The daily shutdown, the holiday action and the stored calendar and settings read again
    // when they change: the same rules as in chimeond, whichever pages there are.
    UnattendedService unattended({engine, localClock, powerOff, &history, dataDirectory});
    QObject::connect(&unattended, &UnattendedService::endProgram, &application, [&endAtStartup] {
        endAtStartup = true;
        QCoreApplication::exit(0);
    });
    unattended.Start();
    engine.RunOnOwnThread();

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
                state, dataDirectory, localClock,
                [&engine](const HolidayCalendar& changed) { engine.SetCalendar(changed); }));
        }
        if (kind != PageKind::kToday) {
            return nullptr;
        }
        TodayPageParts parts(state, settings, localClock, engine);
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
        historyHealth->ShowOn(page->NoticeReporter(NoticeTopic::kPlayHistory));
        // What a crash left of a recording is made playable, and the operator told where.
        page->NoticeReporter(NoticeTopic::kRecordings)(
            RescuedRecordingsList(RescueRecordings(RecordingFoldersToRescue(
                CRecordPage::MusicFolder(), dataDirectory / kRecordingFoldersFileName))));
        if (!dataFolderProblem.empty()) {
            page->NoticeReporter(NoticeTopic::kDataFolder)(dataFolderProblem);
        }
        for (NoticeTopic topic :
             {NoticeTopic::kSilentStart, NoticeTopic::kClock, NoticeTopic::kAlerts}) {
            page->SetNotice(topic, QString::fromStdString(status.RaisedNotice(topic)));
        }
        return page;
    };

    // The engine's first state tells whether today is a day without broadcast: the unattended
    // rules carry out the holiday action, which may end the program before the window is shown
    // (they hear of that state first, being connected first). An engine slow to choose today's
    // table (a table on a share that does not answer) does not keep the window away for more than a
    // few seconds.
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
    QObject::connect(
        &engine, &BroadcastEngine::stateChanged, &application,
        [&](const BroadcastState&) {
            if (startupDayKnown || startupWindow == nullptr) {
                return;
            }
            startupDayKnown = true;
            showWindow();
        },
        Qt::QueuedConnection);
    QTimer::singleShot(kStartupDayWaitMs, &application, showWindow);

    int exitCode = 0;
    {
        CMainDlg window(state, settings, dataDirectory, makePage);
        QObject::connect(&window, &CMainDlg::exitRequested, &application, [&engine] {
            engine.Shutdown();  // the history records the end of the program
            QCoreApplication::exit(0);
        });
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
    if (!engine.Join(std::chrono::seconds(10))) {
        // Something on the engine's thread hangs: end without waiting for it.
        Log(LogLevel::kError, "engine", "the broadcast engine did not end in time");
        history.Flush();
        std::_Exit(exitCode);
    }
    history.Flush();
    skinning.Shutdown();
    return exitCode;
}
