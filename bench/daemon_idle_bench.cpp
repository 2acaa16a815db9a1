// chimeond against the window's program, each on a data directory whose every weekday table holds
// 1 000 rows (a few clicks two seconds apart soon after the launch, the rest hours away), both on
// the system clock and a null sink of our own:
// - onset: how late after its second each click reaches the null sink (median);
// - idle: CPU time between 3 s and 3 s + IDLE_SECONDS after the last click, as a share of a core
//   (the window hidden), and the resident memory then.
//
//   daemon_idle_bench [IDLE_SECONDS] [CLICKS]      (default 30 s, 8 clicks)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/clicked_broadcaster.h"
#include "support/null_sink_onsets.h"

namespace {

namespace fs = std::filesystem;
using namespace chimeon::bench;

struct Measured {
    double idlePercent = 0;
    double rssMb = 0;
    double onsetMs = -1;
    int heard = 0;
};

double RssMb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return -1;
}

// Launches `arguments` on `folder` (already holding setup.ini and the calendar), plays the clicks
// and measures it idle.
Measured Measure(const fs::path& folder, const fs::path& click, std::vector<std::string> arguments,
                 int clicks, int idleSeconds) {
    ClickedBroadcaster broadcaster(folder, click, arguments, clicks, 8, 1000);
    Measured measured;
    std::vector<double> late = broadcaster.HearClicks();
    measured.heard = static_cast<int>(late.size());
    measured.onsetMs = Summarise(late, clicks).median;
    const pid_t pid = broadcaster.pid();
    const double cpu0 = CpuMs(pid);
    const std::int64_t t0 = MonotonicNs();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu1 = CpuMs(pid);
    const double wallMs = static_cast<double>(MonotonicNs() - t0) / kMillisecond;
    measured.idlePercent = 100.0 * (cpu1 - cpu0) / wallMs;
    measured.rssMb = RssMb(pid);
    return measured;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int clicks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    std::string error;
    const fs::path scratch = PrepareFolder(&error);
    if (scratch.empty()) {
        std::cerr << error << '\n';
        return 2;
    }
    SoundServer server;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const fs::path click = ClickFile(scratch);
    Measured results[2];
    const char* programs[] = {CHIMEOND_PROGRAM, CHIMEON_PROGRAM};
    for (int which = 0; which < 2; ++which) {
        const fs::path folder = scratch / (which == 0 ? "daemon" : "window");
        WriteDataFolder(folder, "[Settings]\r\nShowMedia=0\r\nMinimize=1\r\n");
        std::vector<std::string> arguments;
        if (which == 0) {
            arguments = {programs[0], "--data-dir", folder.string()};
        } else {
            // A portable copy: the window's program takes its own folder as data directory.
            const fs::path copy = folder / fs::path(programs[1]).filename();
            fs::copy_file(programs[1], copy, fs::copy_options::overwrite_existing);
            fs::copy(CHIMEON_SKIN_DIR, folder / "skin", fs::copy_options::recursive);
            arguments = {copy.string()};
        }
        results[which] = Measure(folder, click, arguments, clicks, idleSeconds);
        std::printf("%s: %d of %d clicks heard\n", which == 0 ? "chimeond" : "chimeon",
                    results[which].heard, clicks);
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    std::printf(
        "chimeond: idle %.2f %% rss %.1f MB onset median %.1f ms (window program: idle %.2f %% rss "
        "%.1f MB onset %.1f ms)\n",
        results[0].idlePercent, results[0].rssMb, results[0].onsetMs, results[1].idlePercent,
        results[1].rssMb, results[1].onsetMs);
    return 0;
}
