// How long the broadcast clock waits when it records an event in the play history, against the
// baseline of writing the same event straight into the database (what the clock would wait for
// without the writer thread). Prints the median, p99 and slowest call of each.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/history/sqlite_play_history.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEvents = 5000;

chimeon::HistoryEvent Event(int i) {
    chimeon::HistoryEvent event;
    event.date = "2026-12-07";
    event.scheduledSecond = "8:0:0";
    event.atMs = 1765094400000 + i;
    event.latenessMs = 2;
    event.table = "星期一";
    event.row = i % 40;
    event.title = "上课铃";
    event.path = "/srv/bells/ring.mp3";
    event.cause = chimeon::StartCause::kTime;
    return event;
}

void Report(const char* what, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    std::printf("%-44s median %8.2f us   p99 %8.2f us   max %9.2f us\n", what,
                micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
}

}  // namespace

int main() {
    const chimeon::test::TempDir temporary;
    const std::filesystem::path& folder = temporary.path();

    std::vector<double> queued;
    {
        chimeon::SqlitePlayHistory history(folder / "queued.db");
        for (int i = 0; i < kEvents; ++i) {
            auto begin = Clock::now();
            history.Record(Event(i));
            queued.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
        }
        history.Flush();
    }

    // Baseline: the same rows inserted on the caller's thread, WAL, synchronous=NORMAL.
    std::vector<double> direct;
    sqlite3* db = nullptr;
    sqlite3_open((folder / "direct.db").c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE events(id INTEGER PRIMARY KEY, date TEXT, at_ms INTEGER, title "
                 "TEXT, path TEXT)",
                 nullptr, nullptr, nullptr);
    for (int i = 0; i < kEvents; ++i) {
        auto event = Event(i);
        auto begin = Clock::now();
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO events(date, at_ms, title, path) VALUES(?1, ?2, ?3, ?4)",
                           -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, event.date.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(statement, 2, event.atMs);
        sqlite3_bind_text(statement, 3, event.title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 4, event.path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(statement);
        sqlite3_finalize(statement);
        direct.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
    }
    sqlite3_close(db);

    std::printf("%d events each\n", kEvents);
    Report("Record() as the clock calls it (queued)", queued);
    Report("baseline: insert on the caller's thread", direct);
    return 0;
}
