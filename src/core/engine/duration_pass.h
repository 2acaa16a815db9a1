#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "core/engine/duration_result.h"

namespace chimeon {

// Measures the play time of today's rows off the window's thread. The rows' paths are taken
// when the pass is made, so the worker never reads the list; each measured time goes to `sink`
// on the worker thread, in request order, tagged with the pass's generation. Rows that give no
// time (folders, other kinds of file, unreadable files) produce no call. The owner applies a
// result only while its generation is current, the row still holds that path and is a file item.
// A relative path is measured in `dataDirectory`, where the broadcast clock opens it.
//
// Cancel() and the destructor stop the worker promptly (between files, and inside a long MP3
// walk) and wait for it, so the sink is never called once either has returned. The sink must
// therefore never wait for the thread that cancels (hand results over by posting, not by a
// blocking call). A new load cancels the pass of the old one; the generation still guards
// against a result that was already on its way.
class DurationPass {
public:
    using Sink = std::function<void(DurationResult)>;

    DurationPass(std::uint64_t generation, std::vector<DurationRequest> requests, Sink sink,
                 std::filesystem::path dataDirectory = {});
    ~DurationPass();
    DurationPass(const DurationPass&) = delete;
    DurationPass& operator=(const DurationPass&) = delete;

    // Stops and waits for the worker. Called from the sink itself it only asks the worker to
    // stop (a thread cannot wait for itself); the worker then makes no further call.
    void Cancel();
    // Waits until every request has been measured (or the pass was cancelled).
    void Wait();

    std::uint64_t generation() const { return generation_; }

private:
    void Run(std::vector<DurationRequest> requests, Sink sink);

    const std::uint64_t generation_;
    const std::filesystem::path dataDirectory_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace chimeon
