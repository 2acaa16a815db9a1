#pragma once

#include <cstdint>

#include "core/system/local_clock.h"

namespace chimeon::test {

// A wall clock that tests set and move by hand.
class FakeLocalClock : public LocalClock {
public:
    LocalDateTime Now() const override { return now_; }
    std::int64_t EpochSeconds() const override { return epochSeconds_; }

    void Set(const LocalDateTime& now, std::int64_t epochSeconds) {
        now_ = now;
        epochSeconds_ = epochSeconds;
    }

private:
    LocalDateTime now_{};
    std::int64_t epochSeconds_ = 0;
};

}  // namespace chimeon::test
