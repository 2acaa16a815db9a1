#include "platform/history/sqlite_play_history.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "platform/history/play_history_reader.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::TempDir;

HistoryEvent Start(std::string date, std::int64_t atMs, int row) {
    HistoryEvent event;
    event.kind = HistoryEvent::Kind::kStart;
    event.date = std::move(date);
    event.scheduledSecond = "8:0:0";
    event.atMs = atMs;
    event.latenessMs = 3;
    event.table = "星期一";
    event.row = row;
    event.title = "上课铃";
    event.path = "d:\\bell\\ring.mp3";
    event.cause = StartCause::kTime;
    return event;
}

HistoryEvent Failure(std::string date, std::int64_t atMs) {
    HistoryEvent event;
    event.kind = HistoryEvent::Kind::kFailure;
    event.date = std::move(date);
    event.atMs = atMs;
    event.table = "模板1";
    event.row = 2;
    event.path = "/music/gone.mp3";
    event.cause = FailureCause::kFileMissing;
    event.reason = "no such file";
    return event;
}

TEST(SqlitePlayHistory, EventsReadBackInOrderWithinTheDates) {
    TempDir dir;
    auto file = dir / "history.db";
    auto none = ReadPlayHistory(file, "", "", nullptr);  // no database yet: an empty history
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    std::vector<HistoryEvent> written = {Start("2026-12-05", 1000, 0), Failure("2026-12-06", 2000),
                                         Start("2026-12-07", 3000, 1)};
    {
        SqlitePlayHistory history(file);
        for (const auto& event : written) {
            history.Record(event);
        }
        history.Flush();
        // A reader sees what was written while the writer still has the database open.
        std::string error;
        auto all = ReadPlayHistory(file, "", "", &error);
        ASSERT_TRUE(all) << error;
        EXPECT_EQ(*all, written);
    }
    struct {
        std::string since, until;
        std::vector<HistoryEvent> expected;
    } cases[] = {
        {"2026-12-06", "", {written[1], written[2]}},
        {"", "2026-12-06", {written[0], written[1]}},
        {"2026-12-06", "2026-12-06", {written[1]}},
        {"2027-01-01", "", {}},
    };
    for (const auto& c : cases) {
        auto events = ReadPlayHistory(file, c.since, c.until, nullptr);
        ASSERT_TRUE(events);
        EXPECT_EQ(*events, c.expected) << c.since << ".." << c.until;
    }
}

// A database as the program left it before its tables were numbered (version 0), or one
// numbered `version`, holding one event with the stored cause `cause`.
void MakeDatabase(const std::filesystem::path& file, int version, const std::string& cause) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "PRAGMA journal_mode=WAL; CREATE TABLE events(id INTEGER PRIMARY KEY, kind TEXT NOT NULL,"
        " date TEXT NOT NULL, scheduled TEXT NOT NULL, at_ms INTEGER NOT NULL, lateness_ms"
        " INTEGER, table_name TEXT NOT NULL, row INTEGER NOT NULL, title TEXT NOT NULL, path TEXT"
        " NOT NULL, cause TEXT NOT NULL, reason TEXT NOT NULL); CREATE INDEX events_by_date ON"
        " events(date); INSERT INTO events(kind, date, scheduled, at_ms, lateness_ms, table_name,"
        " row, title, path, cause, reason) VALUES('failure', '2026-12-06', '', 2000, NULL, '模板1',"
        " 2, '', '/music/gone.mp3', '" +
        cause + "', 'no such file'); PRAGMA user_version=" + std::to_string(version);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

constexpr SoundLevel kQuiet{-70.5, -80.25, true};

TEST(SqlitePlayHistory, OlderDatabasesAreNumberedWithTheirEventsAndNewerOnesLeftAsTheyAre) {
    struct {
        int version;
        const char* cause;
        const char* refusal;  // of the reader; null when it reads the database
    } cases[] = {{0, "missing", nullptr},
                 {1, "missing", nullptr},
                 {3, "missing", "newer version of the program (history version 3"},
                 {1, "sung", "\"failure\" with the cause \"sung\""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + " " + c.cause);
        TempDir dir;
        const auto file = dir / "history.db";
        MakeDatabase(file, c.version, c.cause);
        const std::string before = dir.Read("history.db");
        std::string error;
        EXPECT_EQ(ReadPlayHistory(file, "", "", &error).has_value(), c.refusal == nullptr);
        std::vector<std::string> problems;
        {
            SqlitePlayHistory history(file);
            history.SetProblemListener([&](const std::string& text) { problems.push_back(text); });
            history.Record(Start("2026-12-07", 3000, 0));
            history.RecordLevel(Start("2026-12-07", 3000, 0), kQuiet);
        }
        auto events = ReadPlayHistory(file, "", "", &error);
        if (c.refusal == nullptr) {
            ASSERT_TRUE(events) << error;
            // Upgraded in place: the old event kept, the new start with its level.
            HistoryEvent measured = Start("2026-12-07", 3000, 0);
            measured.level = kQuiet;
            EXPECT_EQ(*events, (std::vector{Failure("2026-12-06", 2000), measured}));
        } else {
            EXPECT_FALSE(events);
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
        const bool newer = c.version > history_db::kSchemaVersion;
        ASSERT_EQ(problems.size(), newer ? 1u : 0u);
        if (newer) {
            EXPECT_NE(problems[0].find("newer version"), std::string::npos) << problems[0];
            EXPECT_EQ(dir.Read("history.db"), before);
            EXPECT_EQ(dir.Entries(), 1u);
        } else {  // numbered: the user version in the database's header, bytes 60 to 63
            EXPECT_EQ(dir.Read("history.db").substr(60, 4), std::string("\0\0\0\2", 4));
        }
    }
}

TEST(SqlitePlayHistory, KeepsTheNewestDatesWhateverTheClockSaid) {
    TempDir dir;
    SqlitePlayHistory history(dir / "history.db");
    // The last date came from a clock set two years ahead: it pushes out one date, not all.
    for (const char* date :
         {"2025-11-01", "2025-11-02", "2025-11-02", "2026-12-06", "2028-12-07"}) {
        history.Record(Start(date, 1, 0));
    }
    history.KeepNewestDays(5);  // fewer dates than that: nothing goes
    history.KeepNewestDays(3);
    history.Flush();
    auto events = ReadPlayHistory(dir / "history.db", "", "", nullptr);
    ASSERT_TRUE(events);
    ASSERT_EQ(events->size(), 4u);
    EXPECT_EQ(events->front().date, "2025-11-02");
}

TEST(SqlitePlayHistory, EventsWaitWhileAnotherProgramHoldsTheDatabase) {
    TempDir dir;
    auto file = dir / "history.db";
    std::vector<std::string> problems;  // told on the writer thread, read after each Flush
    SqlitePlayHistory history(file, nullptr, /*maxQueued=*/3);
    history.SetProblemListener([&](const std::string& problem) { problems.push_back(problem); });
    history.Record(Start("2026-12-07", 0, 0));
    history.Flush();
    sqlite3* other = nullptr;  // an administrator's sqlite3 in the middle of a change
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    history.Record(Start("2026-12-07", 1, 1));
    history.Flush();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("暂存在内存里"), std::string::npos) << problems[0];
    for (int i = 2; i <= 5; ++i) {
        history.Record(Start("2026-12-07", i, i));  // two wait with the first, two are lost
    }
    history.Flush();
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    history.Flush();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[1].find("有记录丢失了"), std::string::npos) << problems[1];
    EXPECT_EQ(problems[2], "") << "written again";
    auto events = ReadPlayHistory(file, "", "", nullptr);
    ASSERT_TRUE(events);
    EXPECT_EQ(events->size(), 4u);
}

TEST(SqlitePlayHistory, AtTheEndAHolderIsWaitedForOnlyForTheGrace) {
    struct Case {
        const char* name;
        int releaseAfterMs;  // never when negative
        std::size_t written;
    };
    for (const Case& c : {Case{"lets go within the grace", 300, 2}, Case{"holds on", -1, 1}}) {
        TempDir dir;
        auto file = dir / "history.db";
        std::vector<std::string> problems;
        sqlite3* other = nullptr;
        std::thread releaser;
        {
            SqlitePlayHistory history(file, nullptr, kMaxQueuedHistoryEvents,
                                      std::chrono::milliseconds(1500));
            history.SetProblemListener([&](const std::string& text) { problems.push_back(text); });
            history.Record(Start("2026-12-07", 0, 0));
            history.Flush();
            ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
            history.Record(Start("2026-12-07", 1, 1));  // the program's last event
            if (c.releaseAfterMs >= 0) {
                releaser = std::thread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(c.releaseAfterMs));
                    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
                });
            }
        }  // the program ends while the other program holds the database
        if (releaser.joinable()) {
            releaser.join();
        }
        sqlite3_close(other);
        auto events = ReadPlayHistory(file, "", "", nullptr);
        ASSERT_TRUE(events);
        EXPECT_EQ(events->size(), c.written) << c.name;
        const bool saidLost =
            !problems.empty() && problems.back().find("条记录没有写入") != std::string::npos;
        EXPECT_EQ(saidLost, c.written == 1) << c.name;
    }
}

TEST(SqlitePlayHistory, UnwritableHistoryIsReportedOnceAndNeverThrows) {
    TempDir dir;
    dir.Write("damaged.db", std::string(8192, '\x5a'));
    std::filesystem::create_directory(dir / "folder.db");
    for (const char* name : {"damaged.db", "no/such/folder/history.db", "folder.db"}) {
        std::vector<std::string> problems;
        SqlitePlayHistory history(dir / name);
        history.SetProblemListener(
            [&](const std::string& problem) { problems.push_back(problem); });
        for (int i = 0; i < 5; ++i) {
            history.Record(Start("2026-12-07", i, i));
        }
        history.Flush();
        EXPECT_TRUE(history.HasFailed()) << name;
        ASSERT_EQ(problems.size(), 1u) << name << ": said once";
        EXPECT_NE(problems[0].find("无法写入"), std::string::npos) << name << ": " << problems[0];
    }
    std::string error;
    EXPECT_FALSE(ReadPlayHistory(dir / "damaged.db", "", "", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace chimeon
