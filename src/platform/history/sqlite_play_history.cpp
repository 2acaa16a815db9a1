#include "platform/history/sqlite_play_history.h"

#include <algorithm>
#include <chrono>
#include <ostream>

#include "core/system/log.h"

namespace chimeon {
namespace {

constexpr auto kHeldRetryInterval = std::chrono::seconds(1);

}  // namespace

SqlitePlayHistory::SqlitePlayHistory(std::filesystem::path file, std::ostream* errors,
                                     std::size_t maxQueued, std::chrono::milliseconds stopGrace)
    : file_(std::move(file)),
      maxQueued_(std::max<std::size_t>(maxQueued, 1)),
      stopGrace_(stopGrace) {
    listener_ = [errors](const std::string& problem) {
        if (problem.empty()) {
            return;
        }
        if (errors != nullptr) {
            *errors << "chimeon: " << problem << std::endl;
        } else {
            Log(LogLevel::kError, "history", problem);
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
}

void SqlitePlayHistory::Record(const HistoryEvent& event) {
    Enqueue(event);
}

void SqlitePlayHistory::KeepNewestDays(int days) {
    Enqueue(KeepRequest{std::max(days, 1)});
}

void SqlitePlayHistory::RecordLevel(const HistoryEvent& start, const SoundLevel& level) {
    Enqueue(LevelRequest{start, level});
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
            wake_.wait_for(lock, std::chrono::milliseconds(history_db::kBusyTimeoutMs));
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
    // Said to the operator after the notice's own words: Chinese, the database's path quoted.
    const std::string history = "“" + file_.string() + "”";
    if (dropped > 0) {
        return history + "在程序结束时仍被另一个程序占用，" + std::to_string(dropped) +
               " 条记录没有写入";
    }
    if (outcome == Outcome::kFailed) {
        return "无法写入" + history + "（" + lastError_ + "），广播照常进行";
    }
    if (lost_) {
        return history + "被另一个程序占用太久，有记录丢失了";
    }
    if (outcome == Outcome::kHeld) {
        return history + "正被另一个程序占用，记录暂存在内存里，空出来后再写入";
    }
    return "";
}

SqlitePlayHistory::Outcome SqlitePlayHistory::Classify(history_db::DbResult result) {
    if (result.ok()) {
        return Outcome::kDone;
    }
    if (result.held()) {
        return Outcome::kHeld;
    }
    lastError_ = std::move(result.message);
    return Outcome::kFailed;
}

SqlitePlayHistory::Outcome SqlitePlayHistory::EnsureOpen() {
    if (db_) {
        return Outcome::kDone;
    }
    // Tried again with the next event when it fails: the disk may have room by then.
    return Classify(history_db::OpenForWriting(file_, &db_));
}

SqlitePlayHistory::Outcome SqlitePlayHistory::Execute(const Job& job) {
    if (const auto* keep = std::get_if<KeepRequest>(&job)) {
        return Classify(history_db::KeepNewestDays(db_.get(), keep->days));
    }
    if (const auto* level = std::get_if<LevelRequest>(&job)) {
        return Classify(history_db::UpdateLevel(db_.get(), level->start, level->level));
    }
    return Classify(history_db::InsertEvent(db_.get(), std::get<HistoryEvent>(job)));
}

}  // namespace chimeon
