#include "platform/history/history_database.h"

namespace chimeon::history_db {
namespace {

// The tables of every version so far (version 1 numbered version 0's tables unchanged).
constexpr const char* kTables =
    "CREATE TABLE IF NOT EXISTS events("
    " id INTEGER PRIMARY KEY,"
    " kind TEXT NOT NULL,"
    " date TEXT NOT NULL,"
    " scheduled TEXT NOT NULL,"
    " at_ms INTEGER NOT NULL,"
    " lateness_ms INTEGER,"
    " table_name TEXT NOT NULL,"
    " row INTEGER NOT NULL,"
    " title TEXT NOT NULL,"
    " path TEXT NOT NULL,"
    " cause TEXT NOT NULL,"
    " reason TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_by_date ON events(date);";

// A prepared statement that is finalised on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return statement_ != nullptr; }
    sqlite3_stmt* get() const { return statement_; }
    void Bind(int index, std::string_view text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

DbResult Result(sqlite3* db, int code) {
    if (code == SQLITE_OK || code == SQLITE_DONE) {
        return {code, ""};
    }
    return {code, sqlite3_errmsg(db)};
}

DbResult Exec(sqlite3* db, const char* sql) {
    return Result(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

// The database's version; an error for one newer than this program knows.
DbResult ReadVersion(sqlite3* db, int* version) {
    Statement statement(db, "PRAGMA user_version");
    if (!statement.ok()) {
        return Result(db, sqlite3_errcode(db));
    }
    const int code = sqlite3_step(statement.get());
    if (code != SQLITE_ROW) {
        return Result(db, code);
    }
    *version = sqlite3_column_int(statement.get(), 0);
    if (*version > kSchemaVersion) {
        return {SQLITE_ERROR, "it was written by a newer version of the program (history version " +
                                  std::to_string(*version) + ", this one knows up to " +
                                  std::to_string(kSchemaVersion) + ") and is left as it is"};
    }
    return {};
}

// From version 0: the tables (made here for a new file), checked to hold every column, so that
// no other database is ever numbered as a history.
DbResult Migrate(sqlite3* db) {
    DbResult result = Exec(db, "BEGIN IMMEDIATE");
    if (!result.ok()) {
        return result;
    }
    int version = 0;  // read again under the lock: another program may have moved it meanwhile
    result = ReadVersion(db, &version);
    if (result.ok() && version == 0) {
        result = Exec(db, kTables);
        if (result.ok()) {
            result = Exec(db,
                          "SELECT id, kind, date, scheduled, at_ms, lateness_ms, table_name, row,"
                          " title, path, cause, reason FROM events LIMIT 0");
        }
        version = 1;
    }
    if (result.ok() && version == 1) {
        // Every event kept; the starts before it have no level.
        result = Exec(db,
                      "ALTER TABLE events ADD COLUMN peak_db REAL;"
                      "ALTER TABLE events ADD COLUMN rms_db REAL;"
                      "ALTER TABLE events ADD COLUMN silent INTEGER;"
                      "PRAGMA user_version = 2");
    }
    if (result.ok()) {
        result = Exec(db, "COMMIT");
    }
    if (!result.ok()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return result;
}

}  // namespace

DbResult OpenForWriting(const std::filesystem::path& file, DbPtr* db) {
    sqlite3* raw = nullptr;
    const int code =
        sqlite3_open_v2(file.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    DbPtr opened(raw);
    if (code != SQLITE_OK) {
        return {code, raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(code)};
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    int version = 0;
    DbResult result = ReadVersion(raw, &version);
    if (result.ok() && version < kSchemaVersion) {
        result = Migrate(raw);
    }
    if (result.ok()) {
        // WAL, so that readers never wait for the writer.
        result = Exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    }
    if (result.ok()) {
        *db = std::move(opened);
    }
    return result;
}

DbResult InsertEvent(sqlite3* db, const HistoryEvent& event) {
    Statement statement(
        db,
        "INSERT INTO events(kind, date, scheduled, at_ms, lateness_ms, table_name, row,"
        " title, path, cause, reason) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)");
    if (!statement.ok()) {
        return Result(db, sqlite3_errcode(db));
    }
    statement.Bind(1, HistoryEventKindName(event.kind));
    statement.Bind(2, event.date);
    statement.Bind(3, event.scheduledSecond);
    statement.Bind(4, event.atMs);
    if (event.latenessMs) {
        statement.Bind(5, *event.latenessMs);
    } else {
        sqlite3_bind_null(statement.get(), 5);
    }
    statement.Bind(6, event.table);
    statement.Bind(7, static_cast<std::int64_t>(event.row));
    statement.Bind(8, event.title);
    statement.Bind(9, event.path);
    statement.Bind(10, HistoryCauseName(event.cause));
    statement.Bind(11, event.reason);
    return Result(db, sqlite3_step(statement.get()));
}

DbResult UpdateLevel(sqlite3* db, const HistoryEvent& start, const SoundLevel& level) {
    Statement statement(db,
                        "UPDATE events SET peak_db = ?1, rms_db = ?2, silent = ?3 WHERE id = ("
                        "SELECT id FROM events WHERE kind = 'start' AND date = ?4 AND at_ms = ?5"
                        " AND row = ?6 AND path = ?7 ORDER BY id DESC LIMIT 1)");
    if (!statement.ok()) {
        return Result(db, sqlite3_errcode(db));
    }
    sqlite3_bind_double(statement.get(), 1, level.peakDb);
    sqlite3_bind_double(statement.get(), 2, level.rmsDb);
    // 0 sounded, 1 silent of itself, 2 and up silenced by the output (read as silent by any
    // reader that only asks whether it is 0).
    statement.Bind(
        3, static_cast<std::int64_t>(level.silent ? 1 + static_cast<int>(level.output) : 0));
    statement.Bind(4, start.date);
    statement.Bind(5, start.atMs);
    statement.Bind(6, static_cast<std::int64_t>(start.row));
    statement.Bind(7, start.path);
    return Result(db, sqlite3_step(statement.get()));
}

DbResult KeepNewestDays(sqlite3* db, int days) {
    Statement statement(db,
                        "DELETE FROM events WHERE date < (SELECT date FROM (SELECT DISTINCT"
                        " date FROM events ORDER BY date DESC LIMIT 1 OFFSET ?1))");
    if (!statement.ok()) {
        return Result(db, sqlite3_errcode(db));
    }
    statement.Bind(1, static_cast<std::int64_t>(days - 1));
    return Result(db, sqlite3_step(statement.get()));
}

DbResult SelectEvents(sqlite3* db, const std::string& since, const std::string& until,
                      std::vector<HistoryEvent>* events) {
    int version = 0;
    DbResult result = ReadVersion(db, &version);
    if (!result.ok()) {
        return result;
    }
    // An older database is read as it is: its starts have no level.
    const std::string sql =
        std::string(
            "SELECT kind, date, scheduled, at_ms, lateness_ms, table_name, row, title,"
            " path, cause, reason, id, ") +
        (version >= 2 ? "peak_db, rms_db, silent" : "NULL, NULL, NULL") +
        " FROM events WHERE (?1 = '' OR date >= ?1) AND (?2 = '' OR date <= ?2)"
        " ORDER BY at_ms, id";
    Statement statement(db, sql.c_str());
    if (!statement.ok()) {
        return Result(db, sqlite3_errcode(db));
    }
    statement.Bind(1, since);
    statement.Bind(2, until);
    int code = SQLITE_OK;
    while ((code = sqlite3_step(statement.get())) == SQLITE_ROW) {
        HistoryEvent event;
        const std::string kind = statement.Text(0);
        const std::string cause = statement.Text(9);
        const auto knownKind = HistoryEventKindFromName(kind);
        const auto knownCause = knownKind ? HistoryCauseFromName(*knownKind, cause) : std::nullopt;
        if (!knownCause) {
            return {SQLITE_ERROR, "event " + statement.Text(11) + " is a \"" + kind +
                                      "\" with the cause \"" + cause +
                                      "\", which this version does not know"};
        }
        event.kind = *knownKind;
        event.cause = *knownCause;
        event.date = statement.Text(1);
        event.scheduledSecond = statement.Text(2);
        event.atMs = sqlite3_column_int64(statement.get(), 3);
        if (sqlite3_column_type(statement.get(), 4) != SQLITE_NULL) {
            event.latenessMs = sqlite3_column_int64(statement.get(), 4);
        }
        event.table = statement.Text(5);
        event.row = sqlite3_column_int(statement.get(), 6);
        event.title = statement.Text(7);
        event.path = statement.Text(8);
        event.reason = statement.Text(10);
        if (sqlite3_column_type(statement.get(), 12) != SQLITE_NULL) {
            const int silent = sqlite3_column_int(statement.get(), 14);
            const bool known = silent - 1 <= static_cast<int>(OutputSilence::kMasterMuted);
            event.level = SoundLevel{sqlite3_column_double(statement.get(), 12),
                                     sqlite3_column_double(statement.get(), 13), silent != 0,
                                     silent > 1 && known ? static_cast<OutputSilence>(silent - 1)
                                                         : OutputSilence::kNone};
        }
        events->push_back(std::move(event));
    }
    return Result(db, code);
}

}  // namespace chimeon::history_db
