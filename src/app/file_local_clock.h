#pragma once

#include <filesystem>
#include <mutex>

#include "core/system/local_clock.h"

namespace chimeon {

// A wall clock that a test moves by writing a file: one line "YYYY-MM-DD HH:MM:SS" (local time).
// Built only into the test build of the program; a file that is missing or cannot be read keeps
// the time read last.
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
};

}  // namespace chimeon
