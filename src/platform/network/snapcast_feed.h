#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace chimeon {

// The sound of the network output, streamed to a Snapcast server's tcp source (the server
// listens, we connect) as raw PCM 48000 Hz, 16 bit, stereo: the server's own default format,
// so that it neither converts nor decodes, and every client gets it as it was sent.
//
// A thread of its own writes the stream in real time, 5 ms at a time, silence where no sound
// is due: the server's stream never goes idle (an idle stream makes the clients stop and start
// again, cutting a short bell's first sound). The server stamps what it reads with the time it
// reads it and its clients play it a buffer later, so a sample that is to sound at T is read
// by it at T less the buffer; it is written up to kWriteAheadMs before, so that a short hold of
// the thread never makes the server wait. When the server goes away the thread connects again by
// itself, waiting longer after each failure (up to 5 s); nothing here ever waits on the caller's
// thread.
class SnapcastFeed {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;
    // How far ahead of the server's reading the stream is kept: sound must be submitted earlier.
    static constexpr int kWriteAheadMs = 30;

    SnapcastFeed(std::string host, int port, std::chrono::milliseconds buffer);
    ~SnapcastFeed();
    SnapcastFeed(const SnapcastFeed&) = delete;
    SnapcastFeed& operator=(const SnapcastFeed&) = delete;

    // Interleaved samples whose first frame is to sound at the clients at `playAtNs`
    // (CLOCK_REALTIME nanoseconds); from any thread. Frames that follow the last ones given within
    // a millisecond are taken as their continuation, so that rounding never opens a gap. Dropped
    // while the server is away.
    void Submit(std::int64_t playAtNs, const std::int16_t* samples, std::size_t frames);

    std::chrono::milliseconds buffer() const { return buffer_; }
    bool Connected() const { return connected_.load(); }
    // How many connections to the server were made so far: a start and an end that see the same
    // number, connected, had the stream the whole time between.
    std::uint64_t Session() const { return session_.load(); }
    // How long the present connection has lasted (0 while there is none).
    std::chrono::milliseconds ConnectedFor() const;
    // Why the stream does not reach the server, in the operator's words ("" while it does).
    std::string Problem() const;

    static std::int64_t RealtimeNs();

private:
    struct Chunk {
        std::int64_t runStartNs;  // when the run of continuous frames it belongs to is written
        std::int64_t firstFrame;  // its first frame's place in that run
        std::vector<std::int16_t> samples;
    };

    void Run();
    // Writes the stream until the connection fails or the feed is stopped; why it ended.
    std::string Stream(int fd);
    // Adds what is due in the block; whether any sound was.
    bool MixInto(std::int64_t startNs, std::int64_t blockFrame, std::vector<std::int16_t>& block);
    void SetProblem(std::string problem);

    const std::string host_;
    const int port_;
    const std::chrono::milliseconds buffer_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::deque<Chunk> pending_;
    std::size_t pendingFrames_ = 0;
    std::int64_t runStartNs_ = 0;
    std::int64_t runFrames_ = 0;
    std::int64_t runEndNs_ = -1;
    std::string problem_;
    std::atomic<bool> connected_{false};
    std::atomic<std::uint64_t> session_{0};
    std::atomic<std::chrono::steady_clock::rep> connectedAt_{0};  // the present connection's start
    std::thread thread_;
};

}  // namespace chimeon
