// The check of a large data directory: 12 tables of 1 000 rows over 2 000 media files (WAV and
// MP3), fourteen days ahead, with the page cache warm. Baseline in the same run: reading every
// media file once from start to end, the least any check that measures them must do.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/admin/file_system_inspector.h"
#include "core/admin/schedule_check.h"
#include "core/engine/clock_text.h"
#include "core/io/atomic_write.h"
#include "core/io/file_descriptor.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/table_id.h"
#include "support/mp3_frames.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMediaFiles = 2000;
constexpr int kRowsPerTable = 1000;

std::string Mp3(int frames) {
    std::string file;
    for (int i = 0; i < frames; ++i) {
        file += chimeon::test::Frame({}, 417);  // 128 kbit/s, 44.1 kHz
    }
    return file;
}

double Seconds(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

}  // namespace

int main() {
    chimeon::test::TempDir data;
    const fs::path& folder = data.path();
    fs::create_directories(folder / "media");
    std::vector<std::string> media;
    for (int i = 0; i < kMediaFiles; ++i) {
        bool wave = i % 2 == 0;
        fs::path file = folder / "media" / ("item" + std::to_string(i) + (wave ? ".wav" : ".mp3"));
        (void)chimeon::WriteFileAtomically(
            file, wave ? chimeon::test::SilentWav(2 + i % 5) : Mp3(200 + i % 300));
        media.push_back(file.string());
    }
    for (int t = 0; t < chimeon::kTableCount; ++t) {
        chimeon::ScheduleTable table;
        for (int r = 0; r < kRowsPerTable; ++r) {
            int second = r * 80;  // 80 s apart: no row plays into the next
            table.push_back({"row " + std::to_string(r), chimeon::TimeText(second), "播完终止",
                             "100", "顺序",
                             media[static_cast<size_t>((t * kRowsPerTable + r) % kMediaFiles)]});
        }
        (void)chimeon::SaveScheduleFile(
            folder / chimeon::TableFileName(static_cast<chimeon::TableId>(t)), table);
    }
    // Five extra working days within the fortnight play the templates; weekends otherwise rest.
    chimeon::HolidayCalendar calendar;
    calendar.extraWorkDays = {{"12/12/2026", "模板1"},
                              {"12/13/2026", "模板2"},
                              {"12/19/2026", "模板3"},
                              {"12/20/2026", "模板4"},
                              {"12/9/2026", "模板5"}};
    (void)chimeon::SaveHolidayCalendar(folder, calendar);

    const chimeon::LocalDateTime from = chimeon::CivilDay(2026, 12, 7);
    size_t findings = 0;
    double check = 1e9, read = 1e9;
    for (int round = 0; round < 4; ++round) {  // the first round warms the page cache
        auto begin = Clock::now();
        chimeon::FileSystemInspector inspector;
        findings = chimeon::CheckDataDirectory(folder, from, 14, inspector).size();
        double took = Seconds(begin);
        begin = Clock::now();
        size_t bytes = 0;
        for (const std::string& file : media) {
            bytes += chimeon::ReadFileBytes(file)->size();
        }
        double readTook = Seconds(begin);
        if (round > 0) {
            check = std::min(check, took);
            read = std::min(read, readTook);
        }
        (void)bytes;
    }
    std::printf("12 tables x %d rows over %d media files, 14 days, warm (best of 3)\n",
                kRowsPerTable, kMediaFiles);
    std::printf("  check of the data directory   %8.1f ms  (%zu findings)\n", check * 1000,
                findings);
    std::printf("  baseline: read every file once %7.1f ms\n", read * 1000);
    std::printf("  ratio                          %8.2f\n", check / read);
    return 0;
}
