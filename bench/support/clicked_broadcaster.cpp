#include "support/clicked_broadcaster.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

#include "core/engine/clock_text.h"
#include "core/schedule/schedule_file.h"

namespace chimeon::bench {

void WriteDataFolder(const std::filesystem::path& folder, const std::string& sections) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "setup.ini", std::ios::binary) << sections;
    std::ofstream(folder / "HlidSave.dat", std::ios::binary) << "0000000\r\n";
}

void WriteClickTables(const std::filesystem::path& folder, const std::filesystem::path& click,
                      int firstSecond, int clicks, int rows) {
    ScheduleTable table;
    for (int row = 0; row < std::max(rows, clicks); ++row) {
        const int second = row < clicks ? firstSecond + 2 * row : firstSecond + 4 * 3600 + 3 * row;
        table.push_back({"铃" + std::to_string(row), TimeText(second % 86400), "播完终止", "100",
                         "", click.string()});
    }
    for (int day = 0; day < 7; ++day) {
        if (!SaveScheduleFile(folder / ("Day" + std::to_string(day) + ".dat"), table)) {
            std::cerr << "cannot write the tables in " << folder << '\n';
            std::exit(2);
        }
    }
}

ClickedBroadcaster::ClickedBroadcaster(const std::filesystem::path& folder,
                                       const std::filesystem::path& click,
                                       const std::vector<std::string>& arguments, int clicks,
                                       int leadSeconds, int rows) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteClickTables(folder, click,
                     local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + leadSeconds, clicks,
                     rows);
    pid_ = Spawn(arguments);
    // The wall-clock second of each click on the monotonic clock.
    const std::int64_t firstDueNs =
        (static_cast<std::int64_t>(now) + leadSeconds) * kSecond - RealtimeMinusMonotonicNs();
    for (int i = 0; i < clicks; ++i) {
        dueNs_.push_back(firstDueNs + 2 * i * kSecond);
    }
}

ClickedBroadcaster::~ClickedBroadcaster() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::vector<double> ClickedBroadcaster::HearClicks() {
    SleepUntil(dueNs_.back() + 3 * kSecond);
    return recorder_.LatenessMs(dueNs_, 900);
}

}  // namespace chimeon::bench
