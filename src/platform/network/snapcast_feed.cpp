#include "platform/network/snapcast_feed.h"

#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "core/system/log.h"
#include "platform/network/tcp_connection.h"

namespace chimeon {
namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;
constexpr std::int64_t kBlockFrames = SnapcastFeed::kRate / 200;  // 5 ms
constexpr std::int64_t kContinuationNs = 1000000;                 // 1 ms
// More than this waiting for a server that takes nothing: it is stuck, connect again.
constexpr std::size_t kMaxUnsentBytes = SnapcastFeed::kRate * SnapcastFeed::kChannels * 2 * 2;
// More sound than this handed over ahead is never needed: the rest is dropped.
constexpr std::size_t kMaxPendingFrames = SnapcastFeed::kRate * 20;
// A wall clock that jumped, or a thread that was held: the stream starts afresh from now.
constexpr std::int64_t kResyncNs = kNsPerSecond / 5;
// A block written later than this after it was due (more than a chunk of the server) is a hold
// worth telling.
constexpr std::int64_t kHeldNs = kNsPerSecond / 125;
// The server stamps what it reads by counting from its first read after the connection. Sound
// written before that read was waiting (the server still taking the connection up) is read from
// a backlog and stamped late by it, every chunk, for as long as the connection lasts: measured
// 8 to 17 ms. Nothing is written for this long after connecting, so that the first read waits
// for the first chunk and stamps it on its arrival. A sound due sooner is never held back.
constexpr std::int64_t kQuietStartNs = kNsPerSecond * 3 / 10;
// The server reads at its own pace once its count has begun, and a chunk not there when its
// turn comes is stamped late by the wait, at every client, for as long as the connection lasts.
// So once the count has begun on time (its first reads), the stream is written this far ahead:
// a hold of the writing thread shorter than this costs nothing.
constexpr std::int64_t kLeadNs = SnapcastFeed::kWriteAheadMs * 1000000LL;
constexpr std::int64_t kOnTimeStartNs = kNsPerSecond / 10;

std::int64_t FramesOf(std::int64_t ns) {
    // Rounded to the nearest frame, for negative spans too.
    const std::int64_t scaled = ns * SnapcastFeed::kRate;
    return (scaled + (scaled >= 0 ? kNsPerSecond / 2 : -kNsPerSecond / 2)) / kNsPerSecond;
}

void SleepUntil(std::int64_t realtimeNs) {
    timespec until{static_cast<time_t>(realtimeNs / kNsPerSecond),
                   static_cast<long>(realtimeNs % kNsPerSecond)};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace

SnapcastFeed::SnapcastFeed(std::string host, int port, std::chrono::milliseconds buffer)
    : host_(std::move(host)), port_(port), buffer_(buffer) {
    problem_ = "正在连接网络广播服务器 " + host_ + ":" + std::to_string(port_);
    thread_ = std::thread([this] { Run(); });
}

SnapcastFeed::~SnapcastFeed() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::int64_t SnapcastFeed::RealtimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

std::chrono::milliseconds SnapcastFeed::ConnectedFor() const {
    if (!connected_.load()) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() -
        std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(connectedAt_)));
}

std::string SnapcastFeed::Problem() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
}

void SnapcastFeed::SetProblem(std::string problem) {
    const std::lock_guard<std::mutex> lock(mutex_);
    problem_ = std::move(problem);
}

void SnapcastFeed::Submit(std::int64_t playAtNs, const std::int16_t* samples, std::size_t frames) {
    if (frames == 0 || !connected_.load()) {
        return;
    }
    const std::int64_t writeAtNs =
        playAtNs - std::chrono::duration_cast<std::chrono::nanoseconds>(buffer_).count();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pendingFrames_ + frames > kMaxPendingFrames) {
        return;
    }
    if (runEndNs_ < 0 || std::abs(writeAtNs - runEndNs_) > kContinuationNs) {
        runStartNs_ = writeAtNs;
        runFrames_ = 0;
    }
    pending_.push_back({runStartNs_, runFrames_,
                        std::vector<std::int16_t>(
                            samples, samples + frames * static_cast<std::size_t>(kChannels))});
    pendingFrames_ += frames;
    runFrames_ += static_cast<std::int64_t>(frames);
    runEndNs_ = runStartNs_ + runFrames_ * kNsPerSecond / kRate;
}

void SnapcastFeed::Run() {
    std::chrono::milliseconds backoff(250);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        lock.unlock();
        std::string error;
        TcpConnection connection =
            TcpConnection::Connect(host_, port_, std::chrono::milliseconds(1000), &error);
        std::string ended;
        if (connection.IsOpen()) {
            // A small send buffer: what the server has not read yet is late by as much.
            const int bytes = 16 * 1024;
            ::setsockopt(connection.fd(), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
            Log(LogLevel::kInfo, "network",
                "streaming to the server at " + host_ + ":" + std::to_string(port_));
            SetProblem("");
            backoff = std::chrono::milliseconds(250);
            ++session_;
            connectedAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
            connected_ = true;
            ended = Stream(connection.fd());
            connected_ = false;
            connection.Close();
            Log(LogLevel::kWarning, "network", "the stream to the server ended: " + ended);
            SetProblem("网络广播服务器断开了（" + ended + "）");
        } else {
            SetProblem("网络广播服务器连不上（" + error + "）");
        }
        lock.lock();
        pending_.clear();
        pendingFrames_ = 0;
        runEndNs_ = -1;
        if (wake_.wait_for(lock, backoff, [this] { return stop_; })) {
            break;
        }
        backoff = std::min(backoff * 2, std::chrono::milliseconds(5000));
    }
}

std::string SnapcastFeed::Stream(int fd) {
    std::int64_t startNs = RealtimeNs();
    std::int64_t written = 0;  // frames since startNs
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlockFrames * kChannels));
    std::vector<char> unsent;
    bool quiet = true;
    bool behind = false;            // catching up after a hold
    std::int64_t sendingFrom = -1;  // the frame (since startNs) the server's count began with
    constexpr std::int64_t kBlockNs = kBlockFrames * kNsPerSecond / kRate;
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) {
                return "the program ends";
            }
        }
        const std::int64_t blockNs = startNs + written * kNsPerSecond / kRate;
        const bool counting =
            sendingFrom >= 0 && (written - sendingFrom) * kNsPerSecond / kRate >= kOnTimeStartNs;
        const std::int64_t lead = counting ? kLeadNs : 0;
        // Due once its last frame is: the server stamps a chunk with the moment it has read it
        // whole, less its length.
        SleepUntil(blockNs + kBlockNs - lead);
        const std::int64_t now = RealtimeNs() - kBlockNs;
        // What the server reads after a hold may be stamped late by it, at every client alike,
        // for as long as the connection lasts: worth a line (once a hold) when bells are late.
        if (now - blockNs > kHeldNs && !behind) {
            Log(LogLevel::kWarning, "network",
                "the stream was held " + std::to_string((now - blockNs) / 1000000) + " ms");
        }
        behind = now - blockNs > kHeldNs;
        if (now - blockNs > kResyncNs || blockNs - now > kResyncNs + kLeadNs) {
            // The server starts its count afresh too, from what arrives next: on time again.
            startNs = now;
            written = 0;
            sendingFrom = quiet ? -1 : 0;
        }
        std::fill(block.begin(), block.end(), 0);
        const bool sound = MixInto(startNs, written, block);
        written += kBlockFrames;
        if (quiet) {
            quiet = !sound && written * kNsPerSecond / kRate < kQuietStartNs;
            if (quiet) {
                continue;
            }
        }
        if (sendingFrom < 0) {
            sendingFrom = written - kBlockFrames;
        }
        const auto* bytes = reinterpret_cast<const char*>(block.data());
        unsent.insert(unsent.end(), bytes, bytes + block.size() * sizeof(std::int16_t));
        while (!unsent.empty()) {
            const ssize_t sent =
                ::send(fd, unsent.data(), unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                unsent.erase(unsent.begin(), unsent.begin() + sent);
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                break;
            }
            return sent < 0 ? std::string(std::strerror(errno)) : "closed";
        }
        if (unsent.size() > kMaxUnsentBytes) {
            return "the server takes no sound";
        }
        char probe = 0;
        const ssize_t peeked = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0) {
            return "closed by the server";
        }
    }
}

bool SnapcastFeed::MixInto(std::int64_t startNs, std::int64_t blockFrame,
                           std::vector<std::int16_t>& block) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t blockEnd = blockFrame + kBlockFrames;
    bool mixed = false;
    for (auto chunk = pending_.begin(); chunk != pending_.end();) {
        const auto frames = static_cast<std::int64_t>(chunk->samples.size() / kChannels);
        const std::int64_t first = FramesOf(chunk->runStartNs - startNs) + chunk->firstFrame;
        const std::int64_t from = std::max(first, blockFrame);
        const std::int64_t to = std::min(first + frames, blockEnd);
        mixed = mixed || from < to;
        for (std::int64_t frame = from; frame < to; ++frame) {
            for (int channel = 0; channel < kChannels; ++channel) {
                std::int16_t& out =
                    block[static_cast<std::size_t>((frame - blockFrame) * kChannels + channel)];
                const int sum =
                    out +
                    chunk->samples[static_cast<std::size_t>((frame - first) * kChannels + channel)];
                out = static_cast<std::int16_t>(
                    std::clamp(sum, static_cast<int>(std::numeric_limits<std::int16_t>::min()),
                               static_cast<int>(std::numeric_limits<std::int16_t>::max())));
            }
        }
        if (first + frames <= blockEnd) {
            pendingFrames_ -= static_cast<std::size_t>(frames);
            chunk = pending_.erase(chunk);
        } else {
            ++chunk;
        }
    }
    return mixed;
}

}  // namespace chimeon
