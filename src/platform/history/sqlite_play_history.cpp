#include "platform/history/sqlite_play_history.h"

#include <sqlite3.h>

#include <iostream>
#include <system_error>

namespace chimeon {
namespace {

constexpr size_t kMaxQueuedJobs =
    100000;  // a stuck disk must not eat the memory of a months-long run
constexpr int kBusyTimeoutMs = 2000;

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

}  // namespace

SqlitePlayHistory::SqlitePlayHistory(std::filesystem::path file, std::ostream* errors)
    : file_(std::move(file)), errors_(errors != nullptr ? errors : &std::cerr) {
    writer_ = std::thread([this] { WriterLoop(); });
}

SqlitePlayHistory::~SqlitePlayHistory() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
    if (db_ != nullptr) {
        sqlite3_close(db_);
    }
}

void SqlitePlayHistory::Record(const HistoryEvent& event) {
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kMaxQueuedJobs) {
            return;  // the writer is stuck; it has said so once already
        }
        queue_.emplace_back(event);
    }
    wake_.notify_one();
}

void SqlitePlayHistory::DeleteBefore(const std::string& firstKeptDate) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(DeleteRequest{firstKeptDate});
    }
    wake_.notify_one();
}

void SqlitePlayHistory::Flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

bool SqlitePlayHistory::HasFailed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

void SqlitePlayHistory::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopping, and everything was written
        }
        Job job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        bool written = EnsureOpen() && Execute(job);
        lock.lock();
        busy_ = false;
        if (!written) {
            failed_ = true;
        }
        if (queue_.empty()) {
            idle_.notify_all();
        }
    }
}

bool SqlitePlayHistory::EnsureOpen() {
    if (db_ != nullptr) {
        return true;
    }
    int result =
        sqlite3_open_v2(file_.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result == SQLITE_OK) {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        result = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
    }
    if (result != SQLITE_OK) {
        ReportFailure(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(result));
        sqlite3_close(db_);
        db_ = nullptr;  // tried again with the next event: the disk may have room by then
        return false;
    }
    return true;
}

bool SqlitePlayHistory::Execute(const Job& job) {
    int result = SQLITE_OK;
    if (const auto* request = std::get_if<DeleteRequest>(&job)) {
        Statement statement(db_, "DELETE FROM events WHERE date < ?1");
        if (statement.ok()) {
            statement.Bind(1, request->firstKeptDate);
            result = sqlite3_step(statement.get());
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
        ReportFailure(sqlite3_errmsg(db_));
        return false;
    }
    return true;
}

void SqlitePlayHistory::ReportFailure(const std::string& what) {
    if (reported_) {
        return;
    }
    reported_ = true;
    *errors_ << "chimeon: the play history cannot be written to " << file_.string() << ": " << what
             << "; broadcasting goes on without it" << std::endl;
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
    int result = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
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
