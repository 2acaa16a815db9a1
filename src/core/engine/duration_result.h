#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace chimeon {

// One row of today's list whose play time is to be measured off the window's thread.
struct DurationRequest {
    int row = -1;
    std::string path;
};

// A measured play time for a row, tagged with the load of today's list it was asked for. The
// owner of the rows applies it only while that load is current, to file rows holding the same
// path: a late answer never lands on a row that a newer load put there.
struct DurationResult {
    std::uint64_t generation = 0;
    int row = -1;
    std::string path;
    std::chrono::seconds length{0};  // the play time, whole seconds
};

}  // namespace chimeon
