#pragma once

#include <filesystem>
#include <mutex>

#include "core/system/local_clock.h"

namespace chimeon {

// A wall clock that a test moves by writing a file: one line "YYYY-MM-DD HH:MM:SS" (local time),
// which stands still, or "YYYY-MM-DD HH:MM:SS running", which runs on in real time from the
// moment the file was written. Built only into the test build of the program; a file that is
// missing or cannot be read keeps the time read last.
class FileLocalClock : public LocalClock {
public:
    explicit FileLocalClock(std::filesystem::path file) : file_(std::move(file)) {}
    ClockReading Read() const override;

private:
    void Refresh() const;

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    mutable LocalDateTime now_{};
    mutable std::int64_t epochSeconds_ = 0;
    mutable std::int64_t runningSinceMs_ = -1;  // real time the running clock was set, or -1
};

}  // namespace chimeon
