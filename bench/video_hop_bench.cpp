// The delay the hop from the broadcaster to the window adds to a video's pictures: a 640x360 clip
// at 25 pictures a second played by GstMediaPlayer at the clock's pace onto the broadcaster's
// feed, each picture stamped with the monotonic clock when the player hands it over (the moment
// an in-process preview copies it, measured here as the baseline), and read by this program
// started again as the window, in its own process, through the socket: arrival less stamp.
// Run: ./build/bench/video_hop_bench (CHIMEON_BENCH_SECONDS=N seconds of video, default 10).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/engine/gst_media_player.h"
#include "platform/engine/gst_video_hop.h"
#include "support/gst/gst_pipeline_run.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

// What a preview does with a picture: copies it for its own thread to draw.
struct CopyingSurface : VideoOutput {
    void Present(const VideoFrame& frame) override {
        const auto begun = Steady::now();
        {
            std::lock_guard lock(mutex);
            pixels.assign(frame.data,
                          frame.data + static_cast<std::ptrdiff_t>(frame.stride) * frame.height);
        }
        copiesNs.push_back((Steady::now() - begun).count());
        if (next != nullptr) {
            next->Present(frame);
        }
    }
    void Clear() override {
        if (next != nullptr) {
            next->Clear();
        }
    }
    bool Watched() const override { return next == nullptr || next->Watched(); }
    std::mutex mutex;
    std::vector<std::uint8_t> pixels;
    std::vector<std::int64_t> copiesNs;
    VideoOutput* next = nullptr;
};

double Quantile(std::vector<std::int64_t> values, double q) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return static_cast<double>(values[at]) / 1e6;
}

// The window: attaches, draws every picture as the preview would and prints each one's hop in
// nanoseconds; ends two seconds after the last picture.
int Window(const char* socket) {
    auto surface = std::make_shared<CopyingSurface>();
    std::atomic<std::int64_t> lastNs{0};
    std::vector<std::int64_t> hops;
    std::mutex mutex;
    ShmVideoReceiver receiver(socket, surface, [&](std::int64_t hopNs) {
        std::lock_guard lock(mutex);
        hops.push_back(hopNs);
        lastNs = Steady::now().time_since_epoch().count();
    });
    const auto giveUp = Steady::now() + std::chrono::seconds(120);
    while (Steady::now() < giveUp) {
        receiver.Poll();
        const std::int64_t last = lastNs;
        if (last != 0 && Steady::now().time_since_epoch().count() - last > 2'000'000'000) {
            break;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    std::lock_guard lock(mutex);
    for (std::int64_t hop : hops) {
        std::printf("%lld\n", static_cast<long long>(hop));
    }
    return 0;
}

int Broadcaster(const char* self) {
    const char* secondsText = std::getenv("CHIMEON_BENCH_SECONDS");
    const int seconds = secondsText != nullptr ? std::max(1, std::atoi(secondsText)) : 10;
    test::TempDir dir;
    const std::string clip = (dir / "clip.webm").string();
    std::string error;
    if (!test::RunPipeline("videotestsrc num-buffers=" + std::to_string(seconds * 25) +
                               " ! video/x-raw,width=640,height=360,framerate=25/1 ! vp8enc "
                               "deadline=1 ! webmmux ! filesink location=" +
                               clip,
                           &error)) {
        std::fprintf(stderr, "cannot make the clip: %s\n", error.c_str());
        return 1;
    }
    const std::filesystem::path socket = dir / "video" / "hop.sock";
    auto feed = ShmVideoFeed::Start(socket);
    if (!feed) {
        return 1;
    }
    const std::string command = std::string(self) + " --window " + socket.string();
    FILE* window = ::popen(command.c_str(), "r");
    if (window == nullptr) {
        return 1;
    }
    for (int i = 0; i < 500 && !feed->Watched(); ++i) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    CopyingSurface inProcess;
    inProcess.next = feed.get();
    GstMediaPlayerOptions options;
    options.audioSink = [] { return std::string("fakesink sync=true"); };
    GstMediaPlayer player(options);
    player.SetParentWindow(&inProcess);
    player.SetFile(clip);
    if (!feed->Watched() || !player.Open()) {
        std::fprintf(stderr, "no window attached, or the clip does not open\n");
        ::pclose(window);
        return 1;
    }
    player.ShowMaximized();
    player.Play();
    while (player.GetPosition() != player.GetLength()) {
        std::this_thread::sleep_for(milliseconds(20));
    }
    player.Close();
    player.SetParentWindow(nullptr);
    std::vector<std::int64_t> hops;
    long long value = 0;
    while (std::fscanf(window, "%lld", &value) == 1) {
        hops.push_back(value);
    }
    ::pclose(window);
    std::printf("pictures: %zu drawn in-process, %zu in the window\n", inProcess.copiesNs.size(),
                hops.size());
    std::printf("in-process copy (baseline): median %.2f ms p99 %.2f ms\n",
                Quantile(inProcess.copiesNs, 0.5), Quantile(inProcess.copiesNs, 0.99));
    std::printf("video hop: median %.2f ms p99 %.2f ms (one frame at 25 fps = 40 ms)\n",
                Quantile(hops, 0.5), Quantile(hops, 0.99));
    return hops.empty() ? 1 : 0;
}

}  // namespace
}  // namespace chimeon

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0) {
        return chimeon::Window(argv[2]);
    }
    return chimeon::Broadcaster(argv[0]);
}
