#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/engine/media_player.h"
#include "core/engine/video_output.h"

namespace chimeon::test {

// A player whose files play in simulated time: the position runs with `nowMs` (a monotonic
// time in milliseconds) from Play to the file's length. Only files added with AddFile open;
// every other path fails to open and leaves the player closed, as the real one does.
class FakeMediaPlayer : public MediaPlayer {
public:
    explicit FakeMediaPlayer(std::function<std::int64_t()> nowMs) : nowMs_(std::move(nowMs)) {}

    void AddFile(const std::string& path, std::int64_t lengthMs, int volume = kNormalPlayerVolume) {
        files_[path] = File{lengthMs, volume};
    }

    void SetParentWindow(VideoOutput* surface) override { surface_ = surface; }
    void SetFile(std::string_view path) override { pendingFile_ = std::string(path); }
    bool Open() override;
    void Close() override;
    void Play() override;
    void Stop() override;
    void Seek(std::int64_t positionMs) override;
    std::int64_t GetPosition() override;
    std::int64_t GetLength() override { return open_ ? length_ : 0; }
    void SetVolume(int volume) override;
    int GetVolume() const override { return volume_; }
    void ShowMaximized() override { log_.push_back("show"); }
    void Prepare(std::string_view path) override { prepared_.emplace_back(path); }
    // Scheduled starts are taken once a wall clock is given; the first sample then sounds
    // `lateness` ms after the due moment by the wall clock as it reads at the call.
    void TakeScheduledStarts(std::function<std::int64_t()> wallMs, std::int64_t lateness = 1) {
        wallMs_ = std::move(wallMs);
        lateness_ = lateness;
    }
    bool CanScheduleStart() const override { return static_cast<bool>(wallMs_); }
    // Logs "schedule LEAD"; a cancel is "cancel", or "cancel-after-sound" when the wall clock
    // had reached the due moment (a sound was heard).
    bool ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) override;
    void CancelScheduledStart() override;
    std::optional<std::int64_t> ScheduledStartLateness() override { return lateness_; }
    // How long before its due moment the last start was scheduled.
    std::int64_t ScheduledAheadMs() const { return scheduledAheadMs_; }

    bool IsOpen() const { return open_; }
    bool IsPlaying() const { return open_ && playing_; }
    // The file of the last Open (empty after Close).
    const std::string& CurrentFile() const { return file_; }
    VideoOutput* Surface() const { return surface_; }
    int OpenCount() const { return openCount_; }
    // Every command in order: "open PATH", "open-failed PATH", "play", "stop", "seek N",
    // "close", "volume N", "show".
    const std::vector<std::string>& Log() const { return log_; }
    // Paths opened (successfully or not), in order.
    const std::vector<std::string>& Opened() const { return opened_; }
    const std::vector<std::string>& Prepared() const { return prepared_; }
    // Broken rules of the player contract (an Open on a player that is not closed).
    const std::vector<std::string>& Violations() const { return violations_; }

private:
    struct File {
        std::int64_t lengthMs;
        int volume;
    };

    std::function<std::int64_t()> nowMs_;
    std::map<std::string, File> files_;
    VideoOutput* surface_ = nullptr;
    std::string pendingFile_;
    std::string file_;
    bool open_ = false;
    bool playing_ = false;
    std::int64_t length_ = 0;
    std::int64_t basePosition_ = 0;
    std::int64_t playStartedMs_ = 0;
    int volume_ = 0;
    int openCount_ = 0;
    std::vector<std::string> log_;
    std::vector<std::string> opened_;
    std::vector<std::string> prepared_;
    std::vector<std::string> violations_;
    std::function<std::int64_t()> wallMs_;
    std::int64_t lateness_ = 0;
    std::int64_t scheduledDueMs_ = -1;
    std::int64_t scheduledAheadMs_ = -1;
};

// Keeps what a display area would have drawn.
class FakeVideoOutput : public VideoOutput {
public:
    void Present(const VideoFrame& frame) override {
        ++frames;
        width = frame.width;
        height = frame.height;
        stride = frame.stride;
        firstPixel = frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16;
    }
    void Clear() override { ++clears; }

    int frames = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    int firstPixel = -1;
    int clears = 0;
};

}  // namespace chimeon::test
