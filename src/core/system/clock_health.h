#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace chimeon {

// Whether the PC's clock keeps to network time, as the system's time service says: a bell on
// the second is only as good as the clock.
enum class ClockSync { kUnchecked, kSynchronized, kNotSynchronized, kNoAnswer };

struct ClockHealth {
    ClockSync sync = ClockSync::kUnchecked;
    std::string detail;  // kNoAnswer: why, in the system's words
    bool operator==(const ClockHealth&) const = default;
};

// Asks the system's time service (blocking: never on the engine's thread).
class ClockSyncSource {
public:
    virtual ~ClockSyncSource() = default;
    virtual ClockHealth Ask() = 0;
};

// For the page and `chimeonctl`: "synchronized", "not_synchronized", "no_answer", "unchecked".
const char* ClockSyncName(ClockSync sync);
// Back from the name; kUnchecked for one this program does not know.
ClockSync ClockSyncFromName(std::string_view name);
// The operator's words: "系统时钟已与网络时间同步", ...
std::string ClockHealthText(const ClockHealth& health);
// What the notice says after its lead; "" while the clock is synchronised or not yet asked.
std::string ClockHealthProblem(const ClockHealth& health);

}  // namespace chimeon
