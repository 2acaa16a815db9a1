#include "core/engine/duration_pass.h"

#include <utility>

#include "core/engine/duration_probe.h"
#include "core/io/file_io.h"

namespace chimeon {

DurationPass::DurationPass(std::uint64_t generation, std::vector<DurationRequest> requests,
                           Sink sink, std::filesystem::path dataDirectory)
    : generation_(generation), dataDirectory_(std::move(dataDirectory)) {
    worker_ = std::thread(&DurationPass::Run, this, std::move(requests), std::move(sink));
}

DurationPass::~DurationPass() {
    Cancel();
}

void DurationPass::Cancel() {
    stop_.store(true, std::memory_order_relaxed);
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
}

void DurationPass::Wait() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
}

void DurationPass::Run(std::vector<DurationRequest> requests, Sink sink) {
    for (DurationRequest& request : requests) {
        if (stop_.load(std::memory_order_relaxed)) {
            return;
        }
        // Whatever goes wrong with one file (even running out of memory) leaves its cell as it
        // was; an exception escaping this thread would end the whole program.
        std::optional<std::string> text;
        try {
            text = ProbeDuration(PathInDataDirectory(request.path, dataDirectory_), &stop_);
        } catch (...) {
            continue;
        }
        if (!text || stop_.load(std::memory_order_relaxed)) {
            continue;
        }
        try {
            sink(DurationResult{generation_, request.row, std::move(request.path),
                                std::move(*text)});
        } catch (...) {
            // The owner failed to take this one; the next rows are still worth measuring.
        }
    }
}

}  // namespace chimeon
