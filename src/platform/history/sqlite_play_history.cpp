#include "platform/history/sqlite_play_history.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <system_error>

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// A short hold (another program's single write) is simply waited for; a longer one is retried.
constexpr int kBusyTimeoutMs = 250;
constexpr auto kHeldRetryInterval = std::chrono::seconds(1);

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA synchronous=NORMAL;"
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

// Another connection holds the lock the statement needs.
bool IsHeld(int result) {
    return (result & 0xff) == SQLITE_BUSY || (result & 0xff) == SQLITE_LOCKED;
}

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

// Opens the history for reading without making a file or taking a lock: while the program has
// it open (its "-wal" log and "-shm" index lie beside it) the log is read through them; otherwise
// the file alone is read as unchangeable, which needs nothing written, so a read-only folder or
// mount reads as well as the program's own.
int OpenForReading(const fs::path& file, sqlite3** db) {
    std::error_code error;
    const bool logInUse =
        fs::exists(file.string() + "-wal", error) && fs::exists(file.string() + "-shm", error);
    std::string uri = "file:";
    for (char c : file.string()) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    uri += logInUse ? "?mode=ro" : "?immutable=1";
    return sqlite3_open_v2(uri.c_str(), db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
}

}  // namespace

SqlitePlayHistory::SqlitePlayHistory(std::filesystem::path file, std::ostream* errors,
                                     std::size_t maxQueued, std::chrono::milliseconds stopGrace)
    : file_(std::move(file)),
      maxQueued_(std::max<std::size_t>(maxQueued, 1)),
      stopGrace_(stopGrace) {
    std::ostream* out = errors != nullptr ? errors : &std::cerr;
    listener_ = [out](const std::string& problem) {
        if (!problem.empty()) {
            *out << "chimeon: " << problem << std::endl;
        }
    };
    writer_ = std::thread([this] { WriterLoop(); });
}

SqlitePlayHistory::~SqlitePlayHistory() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        stopDeadline_ = std::chrono::steady_clock::now() + stopGrace_;
    }
    wake_.notify_all();
    writer_.join();
    if (db_ != nullptr) {
        sqlite3_close(db_);
    }
}

void SqlitePlayHistory::Record(const HistoryEvent& event) {
    Enqueue(event);
}

void SqlitePlayHistory::KeepNewestDays(int days) {
    Enqueue(KeepRequest{std::max(days, 1)});
}

void SqlitePlayHistory::Enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= maxQueued_) {
            lost_ = true;  // the writer says so
            return;
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SqlitePlayHistory::SetProblemListener(
    std::function<void(const std::string& problem)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void SqlitePlayHistory::Flush() {
    std::unique_lock lock(mutex_);
    const std::uint64_t start = attempts_;
    retryNow_ = true;
    wake_.notify_one();
    idle_.wait(lock, [&] { return (queue_.empty() && !busy_) || (held_ && attempts_ > start); });
}

bool SqlitePlayHistory::HasFailed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

void SqlitePlayHistory::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        auto ready = [this] { return stopping_ || retryNow_ || (!held_ && !queue_.empty()); };
        if (held_) {
            wake_.wait_for(lock, kHeldRetryInterval, ready);
        } else {
            wake_.wait(lock, ready);
        }
        retryNow_ = false;
        if (queue_.empty()) {
            if (stopping_) {
                return;  // everything was written
            }
            idle_.notify_all();
            continue;
        }
        Job job = queue_.front();
        busy_ = true;
        lock.unlock();
        Outcome outcome = EnsureOpen();
        if (outcome == Outcome::kDone) {
            outcome = Execute(job);
        }
        lock.lock();
        busy_ = false;
        ++attempts_;
        std::size_t dropped = 0;
        if (outcome != Outcome::kHeld) {
            queue_.pop_front();
        } else if (stopping_ && std::chrono::steady_clock::now() < stopDeadline_) {
            // The program ends: give the other program a little longer to let go.
            wake_.wait_for(lock, kBusyTimeoutMs * std::chrono::milliseconds(1));
        } else if (stopping_) {
            dropped = queue_.size();  // it cannot wait for the other program any longer
            queue_.clear();
        }
        held_ = outcome == Outcome::kHeld && !stopping_;
        failed_ = failed_ || outcome == Outcome::kFailed;
        Tell(ProblemAfter(outcome, dropped), lock);
        if (outcome == Outcome::kDone && queue_.empty() && lost_) {
            lost_ = false;  // the loss was said, and what was kept is written
            Tell(ProblemAfter(outcome, 0), lock);
        }
        idle_.notify_all();
    }
}

void SqlitePlayHistory::Tell(const std::string& problem, std::unique_lock<std::mutex>& lock) {
    if (problem == problem_) {
        return;  // said already
    }
    problem_ = problem;
    auto listener = listener_;
    lock.unlock();
    listener(problem);
    lock.lock();
}

std::string SqlitePlayHistory::ProblemAfter(Outcome outcome, std::size_t dropped) const {
    const std::string history = "the play history " + file_.string();
    if (dropped > 0) {
        return history +
               " was held by another program when the program ended: " + std::to_string(dropped) +
               " events were not written";
    }
    if (outcome == Outcome::kFailed) {
        return "the play history cannot be written to " + file_.string() + ": " + lastError_ +
               "; broadcasting goes on without it";
    }
    if (lost_) {
        return history + " was held by another program too long: events were lost";
    }
    if (outcome == Outcome::kHeld) {
        return history + " is held by another program; events wait and are written when it is free";
    }
    return "";
}

SqlitePlayHistory::Outcome SqlitePlayHistory::Fail(int result, const char* message) {
    if (IsHeld(result)) {
        return Outcome::kHeld;
    }
    lastError_ = message;
    return Outcome::kFailed;
}

SqlitePlayHistory::Outcome SqlitePlayHistory::EnsureOpen() {
    if (db_ != nullptr) {
        return Outcome::kDone;
    }
    int result =
        sqlite3_open_v2(file_.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result == SQLITE_OK) {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        result = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
    }
    if (result == SQLITE_OK) {
        return Outcome::kDone;
    }
    Outcome outcome = Fail(result, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(result));
    sqlite3_close(db_);
    db_ = nullptr;  // tried again with the next event: the disk may have room by then
    return outcome;
}

SqlitePlayHistory::Outcome SqlitePlayHistory::Execute(const Job& job) {
    int result = SQLITE_OK;
    if (const auto* keep = std::get_if<KeepRequest>(&job)) {
        // Older than the oldest of the newest `days` dates; nothing while there are fewer.
        Statement statement(db_,
                            "DELETE FROM events WHERE date < (SELECT date FROM (SELECT DISTINCT"
                            " date FROM events ORDER BY date DESC LIMIT 1 OFFSET ?1))");
        if (statement.ok()) {
            statement.Bind(1, static_cast<std::int64_t>(keep->days - 1));
            result = sqlite3_step(statement.get());
        } else {
            result = sqlite3_errcode(db_);
        }
    } else {
        const auto& event = std::get<HistoryEvent>(job);
        Statement statement(
            db_,
            "INSERT INTO events(kind, date, scheduled, at_ms, lateness_ms, table_name, row,"
            " title, path, cause, reason) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)");
        if (statement.ok()) {
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
            statement.Bind(10, event.cause);
            statement.Bind(11, event.reason);
            result = sqlite3_step(statement.get());
        } else {
            result = sqlite3_errcode(db_);
        }
    }
    if (result != SQLITE_DONE && result != SQLITE_OK) {
        return Fail(result, sqlite3_errmsg(db_));
    }
    return Outcome::kDone;
}

std::optional<std::vector<HistoryEvent>> ReadPlayHistory(const std::filesystem::path& file,
                                                         const std::string& since,
                                                         const std::string& until,
                                                         std::string* error) {
    std::error_code exists;
    if (!std::filesystem::exists(file, exists)) {
        return std::vector<HistoryEvent>{};
    }
    sqlite3* db = nullptr;
    int result = OpenForReading(file, &db);
    auto fail = [&](const char* message) -> std::optional<std::vector<HistoryEvent>> {
        if (error != nullptr) {
            *error = message;
        }
        sqlite3_close(db);
        return std::nullopt;
    };
    if (result != SQLITE_OK) {
        return fail(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(result));
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::vector<HistoryEvent> events;
    {
        Statement statement(
            db,
            "SELECT kind, date, scheduled, at_ms, lateness_ms, table_name, row, title, path,"
            " cause, reason FROM events WHERE (?1 = '' OR date >= ?1) AND (?2 = '' OR date <= ?2)"
            " ORDER BY at_ms, id");
        if (!statement.ok()) {
            return fail(sqlite3_errmsg(db));
        }
        statement.Bind(1, since);
        statement.Bind(2, until);
        while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
            HistoryEvent event;
            event.kind =
                HistoryEventKindFromName(statement.Text(0)).value_or(HistoryEvent::Kind::kFailure);
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
            event.cause = statement.Text(9);
            event.reason = statement.Text(10);
            events.push_back(std::move(event));
        }
        if (result != SQLITE_DONE) {
            return fail(sqlite3_errmsg(db));
        }
    }
    sqlite3_close(db);
    return events;
}

}  // namespace chimeon
