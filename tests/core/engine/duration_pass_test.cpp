#include "core/engine/duration_pass.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/mp3_frames.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// Collects what a pass hands over; safe to call from the worker thread.
struct Recorder {
    std::mutex mutex;
    std::vector<DurationResult> results;

    DurationPass::Sink Sink() {
        return [this](DurationResult result) {
            std::lock_guard lock(mutex);
            results.push_back(std::move(result));
        };
    }
};

class DurationPassTest : public testing::Test {
protected:
    DurationPassTest() {
        dir_.Write("bell.mp3", test::Repeat(test::Frame(test::FrameFields{}, 417), 100));  // 2.6 s
        std::filesystem::create_directory(dir_ / "music");
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    test::TempDir dir_;
};

TEST_F(DurationPassTest, HandsOverEachMeasuredRowInOrderWithItsGenerationWhateverTheSinkDoes) {
    Recorder recorder;
    std::vector<DurationRequest> requests = {
        {0, Path("bell.mp3")}, {1, Path("music") + "/"},  // folder item: nothing
        {2, Path("ring.mid")},                            // neither WAV nor MP3: nothing
        {3, Path("gone.mp3")},                            // missing: nothing
        {4, "BELL.mp3"},                                  // relative: in the data directory
    };
    // Every call throws, as when its owner is gone: the pass goes on all the same.
    DurationPass pass(
        7, requests,
        [sink = recorder.Sink()](DurationResult result) {
            sink(std::move(result));
            throw std::runtime_error("owner gone");
        },
        dir_.path());
    pass.Wait();
    ASSERT_EQ(recorder.results.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const DurationResult& result = recorder.results[i];
        EXPECT_EQ(result.generation, 7u);
        EXPECT_EQ(result.row, i == 0 ? 0 : 4);
        EXPECT_EQ(result.path, i == 0 ? Path("bell.mp3") : "BELL.mp3");  // as the row holds it
        EXPECT_EQ(result.length, std::chrono::seconds(2));
    }
    EXPECT_EQ(pass.generation(), 7u);
}

TEST_F(DurationPassTest, CancelStopsBeforeTheNextFile) {
    std::vector<DurationRequest> requests;
    for (int row = 0; row < 50; ++row) {
        requests.push_back({row, Path("bell.mp3")});
    }
    std::vector<int> rows;
    DurationPass* self = nullptr;
    std::mutex mutex;
    std::condition_variable started;
    bool ready = false;
    {
        DurationPass pass(2, requests, [&](DurationResult result) {
            {
                // The pass must exist before the first result can cancel it.
                std::unique_lock lock(mutex);
                started.wait(lock, [&] { return ready; });
            }
            rows.push_back(result.row);
            self->Cancel();  // from the sink: asks the worker to stop, cannot wait for itself
        });
        {
            std::lock_guard lock(mutex);
            self = &pass;
            ready = true;
        }
        started.notify_all();
        pass.Wait();
    }
    EXPECT_EQ(rows, std::vector<int>{0});
}

TEST_F(DurationPassTest, DestroyingARunningPassEndsTheCallsWithoutWaitingForTheWorker) {
    std::vector<DurationRequest> requests;
    for (int row = 0; row < 2000; ++row) {
        requests.push_back({row, Path("bell.mp3")});
    }
    for (int round = 0; round < 5; ++round) {
        auto recorder = std::make_unique<Recorder>();
        { DurationPass pass(3, requests, recorder->Sink()); }
        EXPECT_LE(recorder->results.size(), requests.size());
        // The sink's target may go away now: the worker makes no further call.
        recorder.reset();
    }
}

}  // namespace
}  // namespace chimeon
