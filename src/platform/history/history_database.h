#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/history/play_history.h"

namespace chimeon {

inline constexpr std::string_view kHistoryFileName = "history.db";

namespace history_db {

// The layout of the history's tables, numbered in the database's user_version. Version 0 is
// the layout of the databases written before it was numbered; version 2 adds the level of each
// start (peak_db, rms_db, silent; NULL where it was not measured). A database of a higher version
// than this was written by a newer program: it is neither read nor changed.
inline constexpr int kSchemaVersion = 2;

// A short hold (another program's single write) is simply waited for; a longer one is retried.
inline constexpr int kBusyTimeoutMs = 250;

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using DbPtr = std::unique_ptr<sqlite3, DbClose>;

// SQLite's result code of a call, and what went wrong in words when it failed.
struct DbResult {
    int code = SQLITE_OK;
    std::string message;

    bool ok() const { return code == SQLITE_OK || code == SQLITE_DONE; }
    // Another connection holds the lock it needs: it may well succeed later.
    bool held() const { return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED; }
};

// Opens the history for writing, making the file when there is none, and brings its tables to
// the current version in one transaction. A database of a newer version is refused before
// anything is written to it.
DbResult OpenForWriting(const std::filesystem::path& file, DbPtr* db);

DbResult InsertEvent(sqlite3* db, const HistoryEvent& event);
// Gives the level to the newest start recorded as `start` (same date, moment, row and file).
DbResult UpdateLevel(sqlite3* db, const HistoryEvent& start, const SoundLevel& level);
// Deletes the events older than the oldest of the newest `days` dates; nothing while there are
// fewer dates.
DbResult KeepNewestDays(sqlite3* db, int days);

// Appends the events with `since` <= date <= `until` (either may be empty for no bound), oldest
// first. Reads the current version and version 0 as they are; refuses a newer one, and an event
// whose kind or cause this program does not know.
DbResult SelectEvents(sqlite3* db, const std::string& since, const std::string& until,
                      std::vector<HistoryEvent>* events);

}  // namespace history_db
}  // namespace chimeon
