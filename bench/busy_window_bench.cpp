// Measured: a bell while the window is busy. The real broadcast engine and today page, with a
// table of 2 000 rows, play clicks at scheduled seconds into a private PulseAudio null sink whose
// monitor is recorded (no sound card needed, root is fine), four ways in one run:
//   the engine on its own thread, with the window idle and with it busy;
//   the engine on the window's thread (the old design), the same two ways.
// Busy: a task posted to the window's thread 20 ms before each click's second keeps that thread
// busy for 1 s. The lateness of a click is its onset in the recording minus its scheduled time,
// both on the monotonic clock. Run: ./build/bench/busy_window_bench
// (CHIMEON_BENCH_CLICKS=N changes the number of clicks of each way, 15 by default). The last line
// reads "busy window: median M ms p99 P ms (old design: median M0 ms p99 P0 ms)".
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "broadcaster/broadcast_engine.h"
#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/engine/clock_text.h"
#include "core/engine/folder_listing.h"
#include "core/engine/history_recorder.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"
#include "platform/engine/gst_media_player.h"
#include "platform/system/system_local_clock.h"
#include "support/null_sink_onsets.h"
#include "support/ui/engine_link.h"
#include "ui/engine/today_page.h"

namespace chimeon {
namespace {

using namespace bench;

constexpr int kRows = 2000;
constexpr int kLeadSeconds = 6;     // for the engine and the page to start
constexpr int kSpacingSeconds = 3;  // between clicks
constexpr std::int64_t kBusyNs = kSecond;
constexpr std::int64_t kBusyLeadNs = 20 * kMillisecond;

struct Way {
    const char* name;
    bool ownThread;
    bool busyWindow;
};

struct Outcome {
    std::vector<std::int64_t> dueNs;
    std::vector<double> askedLateMs;  // when the clock asked the player for sound
};

// Today's table: `clicks` clicks every few seconds from a few seconds ahead, after rows due half a
// day away that fill the list to kRows.
std::vector<std::int64_t> WriteTable(const std::filesystem::path& dir, const LocalClock& wall,
                                     int clicks) {
    const LocalDateTime now = wall.Now();
    const std::int64_t offset = RealtimeMinusMonotonicNs();
    const std::int64_t firstWall = (wall.EpochSeconds() + kLeadSeconds) * kSecond;
    const int firstSecond = now.hour * 3600 + now.minute * 60 + now.second + kLeadSeconds;
    const std::string click = ClickFile(dir).string();
    auto row = [&](const char* title, int second) {
        return ProgramItem{
            title, TimeText(second % kSecondsPerDay), std::string(kEndPlayOnce), "100", "顺序",
            click};
    };
    ScheduleTable table;
    for (int i = 0; i < kRows - clicks; ++i) {
        table.push_back(row("filler", firstSecond + kSecondsPerDay / 2 + i));
    }
    std::vector<std::int64_t> dueNs;
    for (int i = 0; i < clicks; ++i) {
        table.push_back(row("click", firstSecond + kSpacingSeconds * i));
        dueNs.push_back(firstWall + std::int64_t{kSpacingSeconds} * i * kSecond - offset);
    }
    if (!SaveScheduleFile(dir / TableFileName(WeekdayTable(now.weekday)), table)) {
        return {};
    }
    return dueNs;
}

Outcome PlayClicks(const std::filesystem::path& dir, const Way& way, int clicks) {
    SystemLocalClock wall;
    Outcome outcome;
    outcome.dueNs = WriteTable(dir, wall, clicks);
    if (outcome.dueNs.empty()) {
        return outcome;
    }
    GstMediaPlayer player;
    FileSystemDirectoryLister lister;
    AskedLateness asked;
    EngineParts parts(wall, player, lister, dir);
    parts.calendar = WorkingEveryDay();
    parts.makeObserver = [&asked](const LocalClock& clock, const TodayList& list) {
        return std::make_unique<HistoryRecorder>(clock, list, asked);
    };
    BroadcastEngine engine(std::move(parts));
    if (way.ownThread) {
        engine.RunOnOwnThread();
    }
    {
        AppState state;
        IniSettingsStore settings(dir / "setup.ini");
        QWidget window;
        window.resize(1000, 640);
        test::EngineLink link(engine);
        CTodayPage page(TodayPageParts(state, settings, wall, link));
        page.CreatePage(CTodayPage::kTemplateId, &window);
        page.setGeometry(window.rect());
        page.show();
        window.show();
        // A task that holds the window's thread from just before each click's second.
        std::thread poster([&] {
            for (std::int64_t due : outcome.dueNs) {
                SleepUntil(due - kBusyLeadNs);
                if (way.busyWindow) {
                    QMetaObject::invokeMethod(
                        qApp,
                        [] {
                            const std::int64_t until = MonotonicNs() + kBusyNs;
                            while (MonotonicNs() < until) {
                            }
                        },
                        Qt::QueuedConnection);
                }
            }
        });
        QEventLoop loop;
        const std::int64_t endNs = outcome.dueNs.back() + 2 * kSecond;
        QTimer::singleShot(static_cast<int>((endNs - MonotonicNs()) / kMillisecond), &loop,
                           &QEventLoop::quit);
        loop.exec();
        poster.join();
    }
    engine.Join(std::chrono::seconds(10));
    outcome.askedLateMs = asked.LateMs();
    return outcome;
}

int Run(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int clicks = ClicksToPlay(15);
    std::string error;
    const std::filesystem::path dir = PrepareFolder(&error);
    if (dir.empty()) {
        std::fprintf(stderr, "busy_window_bench: %s\n", error.c_str());
        return 1;
    }
    const Way ways[] = {{"own thread, idle window     ", true, false},
                        {"own thread, busy window     ", true, true},
                        {"window's thread, idle window", false, false},
                        {"window's thread, busy window", false, true}};
    Figures busy, oldBusy;
    std::printf("lateness of sound after the scheduled second, %d clicks each, %d rows (ms):\n",
                clicks, kRows);
    {
        SoundServer server;
        MonitorRecorder recorder;
        for (const Way& way : ways) {
            const Outcome outcome = PlayClicks(dir, way, clicks);
            SleepUntil(MonotonicNs() + 300 * kMillisecond);
            const std::vector<double> heard = recorder.LatenessMs(outcome.dueNs, 1900);
            const Figures figures = Summarise(heard, clicks);
            const Figures asked = Summarise(outcome.askedLateMs, clicks);
            std::printf(
                "  %s: median %.1f  p99 %.1f  max %.1f  missed %d  (clock asked for sound: "
                "median %.1f  max %.1f)\n  each, in order:",
                way.name, figures.median, figures.p99, figures.max, figures.missed, asked.median,
                asked.max);
            for (double late : heard) {
                std::printf(" %.0f", late);
            }
            std::printf("\n");
            std::fflush(stdout);
            if (way.busyWindow) {
                (way.ownThread ? busy : oldBusy) = figures;
            }
        }
    }
    std::printf(
        "busy window: median %.0f ms p99 %.0f ms (old design: median %.0f ms p99 %.0f ms)\n",
        busy.median, busy.p99, oldBusy.median, oldBusy.p99);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}

}  // namespace
}  // namespace chimeon

int main(int argc, char** argv) {
    return chimeon::Run(argc, argv);
}
