// Start-up and idle cost of the whole program, on a data directory whose every weekday table
// holds 1 000 rows:
// - start-up: launch to the main window shown, of the test build (which says when its window is
//   up on standard output); the first launch is cold (GStreamer's plugin scan), the median of
//   the others is the warm figure;
// - idle: CPU time of the shipped program started hidden ("Minimize"=1), between 5 s and
//   5 s + IDLE_SECONDS after its launch, as a share of one core.
//
//   startup_idle_bench [RUNS] [IDLE_SECONDS]      (default 6 runs, 30 s)
//
// No sound server is needed: without one the program says so and waits, as it would at a
// school whose sound server comes up late. Aims: warm start-up under 300 ms, idle under 0.5 %.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/clock_text.h"
#include "core/schedule/schedule_file.h"
#include "support/null_sink_onsets.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using chimeon::bench::CpuMs;
using Clock = std::chrono::steady_clock;

// A portable copy of `program` in `folder`: setup.ini, a calendar without rest days, skins and
// seven 1 000-row tables whose starts all lie hours away.
void MakeDataDirectory(const fs::path& folder, const fs::path& program, bool hidden) {
    fs::create_directories(folder);
    fs::copy_file(program, folder / program.filename(), fs::copy_options::overwrite_existing);
    fs::copy(CHIMEON_SKIN_DIR, folder / "skin",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::ofstream(folder / "setup.ini", std::ios::binary)
        << "[Settings]\r\nShowMedia=0\r\nMinimize=" << (hidden ? 1 : 0) << "\r\n";
    // Every weekday a working day, so that the tables are today's at the weekend too.
    std::ofstream(folder / "HlidSave.dat", std::ios::binary) << "0000000\r\n";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int firstStart = (local.tm_hour * 3600 + local.tm_min * 60 + 4 * 3600) % 86400;
    chimeon::ScheduleTable table;
    for (int row = 0; row < 1000; ++row) {
        const int second = (firstStart + row * 3) % 86400;
        table.push_back({"铃" + std::to_string(row), chimeon::TimeText(second), "播完终止", "100",
                         "", (folder / "bell.wav").string()});
    }
    for (int day = 0; day < 7; ++day) {
        if (!chimeon::SaveScheduleFile(folder / ("Day" + std::to_string(day) + ".dat"), table)) {
            std::cerr << "cannot write the tables in " << folder << '\n';
            std::exit(2);
        }
    }
    char clock[32];
    std::strftime(clock, sizeof clock, "%Y-%m-%d %H:%M:%S", &local);
    std::ofstream(folder / "test-clock.txt") << clock << '\n';
}

struct Child {
    pid_t pid = -1;
    int out = -1;  // the program's standard output
};

Child Launch(const fs::path& program) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(pipeEnds[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

void End(Child& child) {
    kill(child.pid, SIGTERM);
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.out);
}

// Milliseconds from launch until the program says its window is shown; -1 if it never does.
double StartUpMs(const fs::path& program) {
    const auto launched = Clock::now();
    Child child = Launch(program);
    std::string seen;
    char buffer[256];
    double ms = -1;
    while (true) {
        ssize_t got = read(child.out, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        seen.append(buffer, static_cast<size_t>(got));
        if (seen.find("main window shown") != std::string::npos) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - launched).count();
            break;
        }
    }
    End(child);
    return ms;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 6;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    const chimeon::test::TempDir temporary;
    const fs::path& scratch = temporary.path();
    // Sounds, GStreamer's registry and Qt's runtime files stay in the scratch folder.
    setenv("HOME", scratch.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
    unsetenv("PULSE_SERVER");

    const fs::path shownDir = scratch / "shown";
    MakeDataDirectory(shownDir, CHIMEON_E2E_PROGRAM, false);
    std::vector<double> launches;
    for (int run = 0; run < runs; ++run) {
        launches.push_back(StartUpMs(shownDir / fs::path(CHIMEON_E2E_PROGRAM).filename()));
    }
    std::vector<double> warm(launches.begin() + 1, launches.end());
    std::sort(warm.begin(), warm.end());
    std::printf(
        "start-up (launch to main window shown, 1000-row tables): cold %.0f ms, warm "
        "median %.0f ms (min %.0f, max %.0f, %d runs)\n",
        launches.front(), warm[warm.size() / 2], warm.front(), warm.back(), runs - 1);

    const fs::path hiddenDir = scratch / "hidden";
    MakeDataDirectory(hiddenDir, CHIMEON_PROGRAM, true);
    Child idle = Launch(hiddenDir / fs::path(CHIMEON_PROGRAM).filename());
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double cpu0 = CpuMs(idle.pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu1 = CpuMs(idle.pid);
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    End(idle);
    std::printf("idle (window hidden, 1000-row table, %d s): %.0f ms of CPU, %.2f %% of a core\n",
                idleSeconds, cpu1 - cpu0, 100.0 * (cpu1 - cpu0) / wall);
    return 0;
}
