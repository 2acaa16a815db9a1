#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "core/history/play_history.h"
#include "platform/history/history_database.h"

namespace chimeon {

// Events kept while another program holds the database: days of bells, and a bound on the
// memory of a months-long run.
inline constexpr std::size_t kMaxQueuedHistoryEvents = 100000;
// How long the program, as it ends, still waits for another program to let go of the database
// before the events it could not write are given up (and said).
inline constexpr std::chrono::milliseconds kHistoryStopGrace{5000};

// The play history in an SQLite database (WAL, so readers never wait for the writer). Events are
// queued and written by a thread of its own: the clock never waits for the disk. While another
// program holds the database (an administrator's sqlite3, a backup), events wait in the queue and
// are written when it lets go; only a full queue, or a hold that outlasts the program's end by
// more than its grace, loses events. A database that cannot be written
// is a problem of the history alone: broadcasting goes on.
class SqlitePlayHistory : public PlayHistory {
public:
    // Problems go to `errors` (the program's log when null) until a listener is set.
    explicit SqlitePlayHistory(std::filesystem::path file, std::ostream* errors = nullptr,
                               std::size_t maxQueued = kMaxQueuedHistoryEvents,
                               std::chrono::milliseconds stopGrace = kHistoryStopGrace);
    ~SqlitePlayHistory() override;  // writes what is queued, then closes
    SqlitePlayHistory(const SqlitePlayHistory&) = delete;
    SqlitePlayHistory& operator=(const SqlitePlayHistory&) = delete;

    void Record(const HistoryEvent& event) override;
    void KeepNewestDays(int days) override;
    void RecordLevel(const HistoryEvent& start, const SoundLevel& level) override;

    // Told each change of the history's health: a sentence when it cannot be written, waits for
    // another program or has lost events (each said once), "" when it is written again. Called on
    // the history's writer thread; it must not call back into this history. Set it before the
    // first event.
    void SetProblemListener(std::function<void(const std::string& problem)> listener);

    // Waits until everything queued so far has been written or has failed, or until the writer,
    // trying once more after this call, still finds the database held by another program.
    void Flush();
    // True once a write has failed (the problem was told).
    bool HasFailed() const;

private:
    struct KeepRequest {
        int days = 0;
    };
    struct LevelRequest {
        HistoryEvent start;
        SoundLevel level;
    };
    using Job = std::variant<HistoryEvent, KeepRequest, LevelRequest>;
    enum class Outcome { kDone, kHeld, kFailed };

    void Enqueue(Job job);
    void WriterLoop();
    Outcome EnsureOpen();
    Outcome Execute(const Job& job);
    Outcome Classify(history_db::DbResult result);
    // The problem after an attempt with `outcome`; "" when all is well.
    std::string ProblemAfter(Outcome outcome, std::size_t dropped) const;
    // Tells the listener, without the lock held, when the problem changed.
    void Tell(const std::string& problem, std::unique_lock<std::mutex>& lock);

    std::filesystem::path file_;
    std::size_t maxQueued_;
    std::chrono::milliseconds stopGrace_;
    history_db::DbPtr db_;
    std::string lastError_;  // writer thread only

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> queue_;  // the job being written stays at the front until it is done
    std::function<void(const std::string&)> listener_;
    std::string problem_;
    bool busy_ = false;
    bool held_ = false;  // the last attempt found the database held by another program
    bool lost_ = false;  // events were dropped since the last write
    bool retryNow_ = false;
    std::uint64_t attempts_ = 0;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point stopDeadline_;  // set with stopping_
    bool failed_ = false;
    std::thread writer_;
};

}  // namespace chimeon
