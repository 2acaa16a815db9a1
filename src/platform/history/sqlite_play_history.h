#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "core/history/play_history.h"

struct sqlite3;

namespace chimeon {

inline constexpr std::string_view kHistoryFileName = "history.db";

// The play history in an SQLite database (WAL, so readers never wait for the writer). Events are
// queued and written by a thread of its own: the clock never waits for the disk. A database that
// cannot be written is reported once on the error stream, and broadcasting goes on.
class SqlitePlayHistory : public PlayHistory {
public:
    explicit SqlitePlayHistory(std::filesystem::path file, std::ostream* errors = nullptr);
    ~SqlitePlayHistory() override;  // writes what is queued, then closes
    SqlitePlayHistory(const SqlitePlayHistory&) = delete;
    SqlitePlayHistory& operator=(const SqlitePlayHistory&) = delete;

    void Record(const HistoryEvent& event) override;
    void DeleteBefore(const std::string& firstKeptDate) override;

    // Waits until everything queued so far has been written (or has failed).
    void Flush();
    // True once a write has failed (the message was given).
    bool HasFailed() const;

private:
    struct DeleteRequest {
        std::string firstKeptDate;
    };
    using Job = std::variant<HistoryEvent, DeleteRequest>;

    void WriterLoop();
    bool EnsureOpen();
    bool Execute(const Job& job);
    void ReportFailure(const std::string& what);

    std::filesystem::path file_;
    std::ostream* errors_;
    sqlite3* db_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    bool reported_ = false;
    std::thread writer_;
};

// Events with `since` <= date <= `until` (either may be empty for no bound), oldest first.
// A database that does not exist yet is an empty history; one that cannot be read gives nothing
// and the reason in `error`.
std::optional<std::vector<HistoryEvent>> ReadPlayHistory(const std::filesystem::path& file,
                                                         const std::string& since,
                                                         const std::string& until,
                                                         std::string* error);

}  // namespace chimeon
