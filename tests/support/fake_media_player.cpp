#include "support/fake_media_player.h"

#include <algorithm>

namespace chimeon::test {

bool FakeMediaPlayer::Open() {
    if (open_) {
        violations_.push_back("Open on an open player: " + pendingFile_);
    }
    ++openCount_;
    opened_.push_back(pendingFile_);
    auto found = files_.find(pendingFile_);
    playing_ = false;
    basePosition_ = 0;
    if (found == files_.end()) {
        open_ = false;
        file_.clear();
        length_ = 0;
        log_.push_back("open-failed " + pendingFile_);
        return false;
    }
    open_ = true;
    file_ = pendingFile_;
    length_ = found->second.lengthMs;
    volume_ = found->second.volume;
    log_.push_back("open " + pendingFile_);
    return true;
}

void FakeMediaPlayer::Close() {
    log_.push_back("close");
    open_ = false;
    playing_ = false;
    file_.clear();
    length_ = 0;
    basePosition_ = 0;
}

void FakeMediaPlayer::Play() {
    log_.push_back("play");
    if (!open_ || playing_) {
        return;
    }
    playing_ = true;
    playStartedMs_ = nowMs_();
}

bool FakeMediaPlayer::ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) {
    log_.push_back("schedule " + std::to_string(lead.count()));
    if (!open_ || playing_ || !wallMs_) {
        violations_.push_back("ScheduleStart on a player not open and stopped");
        return false;
    }
    playing_ = true;
    scheduledDueMs_ = dueMs;
    scheduledAheadMs_ = dueMs - wallMs_();
    playStartedMs_ = nowMs_() + (dueMs - wallMs_()) + lateness_;
    return true;
}

void FakeMediaPlayer::CancelScheduledStart() {
    log_.push_back(wallMs_ && wallMs_() >= scheduledDueMs_ ? "cancel-after-sound" : "cancel");
    playing_ = false;
    basePosition_ = 0;
}

void FakeMediaPlayer::Stop() {
    log_.push_back("stop");
    if (!open_) {
        return;
    }
    basePosition_ = GetPosition();
    playing_ = false;
}

void FakeMediaPlayer::Seek(std::int64_t positionMs) {
    log_.push_back("seek " + std::to_string(positionMs));
    if (!open_) {
        return;
    }
    basePosition_ = std::clamp<std::int64_t>(positionMs, 0, length_);
    playStartedMs_ = nowMs_();
}

std::int64_t FakeMediaPlayer::GetPosition() {
    if (!open_) {
        return 0;
    }
    if (!playing_) {
        return basePosition_;
    }
    return std::clamp<std::int64_t>(basePosition_ + (nowMs_() - playStartedMs_), 0, length_);
}

void FakeMediaPlayer::SetVolume(int volume) {
    log_.push_back("volume " + std::to_string(volume));
    if (open_) {
        volume_ = volume;
    }
}

}  // namespace chimeon::test
