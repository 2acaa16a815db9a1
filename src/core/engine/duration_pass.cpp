#include "core/engine/duration_pass.h"

#include <utility>

#include "core/engine/duration_probe.h"
#include "core/io/media_path.h"

namespace chimeon {

DurationPass::DurationPass(std::uint64_t generation, std::vector<DurationRequest> requests,
                           Sink sink, std::filesystem::path dataDirectory)
    : generation_(generation) {
    shared_->sink = std::move(sink);
    // The worker cannot reach the sink (and a Cancel from it) before it knows its own id.
    const std::lock_guard lock(shared_->sinkMutex);
    std::thread worker(&DurationPass::Run, shared_, generation, std::move(requests),
                       std::move(dataDirectory));
    shared_->worker = worker.get_id();
    worker.detach();
}

DurationPass::~DurationPass() {
    Cancel();
}

void DurationPass::Cancel() {
    shared_->stop.store(true, std::memory_order_relaxed);
    if (std::this_thread::get_id() != shared_->worker) {
        // A call under way ends before this returns; the flag keeps any other from starting.
        const std::lock_guard lock(shared_->sinkMutex);
    }
}

void DurationPass::Wait() {
    std::unique_lock lock(shared_->doneMutex);
    shared_->doneChanged.wait(lock, [this] { return shared_->done; });
}

void DurationPass::Run(const std::shared_ptr<Shared>& shared, std::uint64_t generation,
                       std::vector<DurationRequest> requests,
                       const std::filesystem::path& dataDirectory) {
    for (DurationRequest& request : requests) {
        if (shared->stop.load(std::memory_order_relaxed)) {
            break;
        }
        // Whatever goes wrong with one file (even running out of memory) leaves its cell as it
        // was; an exception escaping this thread would end the whole program.
        std::optional<ProbedLength> length;
        try {
            length = ProbeLength(PathInDataDirectory(request.path, dataDirectory), &shared->stop);
        } catch (...) {
            continue;
        }
        if (!length) {
            continue;
        }
        const std::lock_guard lock(shared->sinkMutex);
        if (shared->stop.load(std::memory_order_relaxed)) {
            break;
        }
        try {
            shared->sink(DurationResult{generation, request.row, std::move(request.path),
                                        std::chrono::seconds(length->seconds)});
        } catch (...) {
            // The owner failed to take this one; the next rows are still worth measuring.
        }
    }
    {
        const std::lock_guard lock(shared->doneMutex);
        shared->done = true;
    }
    shared->doneChanged.notify_all();
}

}  // namespace chimeon
