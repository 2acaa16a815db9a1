#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/engine/duration_result.h"

namespace chimeon {

// Measures the play time of today's rows off the engine's thread. The rows' paths are taken
// when the pass is made, so the worker never reads the list; each measured time goes to `sink`
// on the worker thread, in request order, tagged with the pass's generation. Rows that give no
// time (folders, other kinds of file, unreadable files) produce no call. The owner applies a
// result only while its generation is current, the row still holds that path and is a file item.
// A relative path is measured in `dataDirectory`, where the broadcast clock opens it.
//
// Nobody waits for the worker: Cancel() and the destructor only ask it to stop (between files,
// and inside a long MP3 walk) and return at once, even while it hangs in a read of a file on a
// dead network mount; it then ends on its own. Once either has returned, no call of the sink is
// under way and none starts, so the sink's target may go away. The sink must therefore be quick
// and never wait for the thread that cancels (hand results over by posting). A new load cancels
// the pass of the old one; the generation still guards against a result already on its way.
class DurationPass {
public:
    using Sink = std::function<void(DurationResult)>;

    DurationPass(std::uint64_t generation, std::vector<DurationRequest> requests, Sink sink,
                 std::filesystem::path dataDirectory = {});
    ~DurationPass();
    DurationPass(const DurationPass&) = delete;
    DurationPass& operator=(const DurationPass&) = delete;

    // Stops the calls of the sink; waits only for one under way. Called from the sink itself, it
    // only asks the worker to stop.
    void Cancel();
    // Waits until every request has been measured or the pass was cancelled (tests, benches).
    void Wait();

    std::uint64_t generation() const { return generation_; }

private:
    // Shared with the worker, which may outlive the pass.
    struct Shared {
        std::atomic<bool> stop{false};
        std::mutex sinkMutex;  // held while the sink runs
        Sink sink;
        std::thread::id worker;
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        bool done = false;
    };
    static void Run(const std::shared_ptr<Shared>& shared, std::uint64_t generation,
                    std::vector<DurationRequest> requests,
                    const std::filesystem::path& dataDirectory);

    const std::uint64_t generation_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace chimeon
