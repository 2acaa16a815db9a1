#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/engine/media_player.h"

namespace chimeon {

// Forwards to a player, remembers the file it was given last (the preview window's status line
// names it) and tells the outcome of every Open (news of the audio output).
class ReportingPlayer : public MediaPlayer {
public:
    // `opened` hears every Open on the thread that opened; a file that cannot be played is
    // kFile (also from a player that does not say why).
    ReportingPlayer(MediaPlayer& player, std::function<void(OpenFailure, std::string)> opened)
        : player_(player), opened_(std::move(opened)) {}

    void SetParentWindow(VideoOutput* surface) override { player_.SetParentWindow(surface); }
    void SetFile(std::string_view path) override {
        file_ = std::string(path);
        player_.SetFile(path);
    }
    bool Open() override {
        CollectStartLevel();  // an Open closes the file before
        if (player_.Open()) {
            opened_(OpenFailure::kNone, {});
            return true;
        }
        const OpenFailure failure = player_.LastOpenFailure();
        opened_(failure == OpenFailure::kNone ? OpenFailure::kFile : failure,
                player_.LastOpenFailureReason());
        return false;
    }
    void Close() override {
        CollectStartLevel();
        player_.Close();
    }
    void Play() override { player_.Play(); }
    void Stop() override { player_.Stop(); }
    void Seek(std::int64_t positionMs) override { player_.Seek(positionMs); }
    std::int64_t GetPosition() override { return player_.GetPosition(); }
    std::int64_t GetLength() override { return player_.GetLength(); }
    void SetVolume(int volume) override { player_.SetVolume(volume); }
    int GetVolume() const override { return player_.GetVolume(); }
    void ShowMaximized() override { player_.ShowMaximized(); }
    OpenFailure LastOpenFailure() const override { return player_.LastOpenFailure(); }
    std::string LastOpenFailureReason() const override { return player_.LastOpenFailureReason(); }
    void Prepare(std::string_view path) override { player_.Prepare(path); }
    bool CanScheduleStart() const override { return player_.CanScheduleStart(); }
    bool ScheduleStart(std::int64_t dueMs, std::chrono::milliseconds lead) override {
        return player_.ScheduleStart(dueMs, lead);
    }
    void CancelScheduledStart() override { player_.CancelScheduledStart(); }
    std::optional<std::int64_t> ScheduledStartLateness() override {
        return player_.ScheduledStartLateness();
    }
    std::optional<SoundLevel> TakeStartLevel() override { return player_.TakeStartLevel(); }

    // Hears the level of each start's first seconds, on the player's thread: from
    // CollectStartLevel, and at the latest when the file is closed, before another starts.
    void SetLevelListener(std::function<void(const SoundLevel&)> listener) {
        levelListener_ = std::move(listener);
    }
    void CollectStartLevel() {
        if (std::optional<SoundLevel> level = player_.TakeStartLevel(); level && levelListener_) {
            levelListener_(*level);
        }
    }

    // The file given last ("" before the first).
    const std::string& File() const { return file_; }

private:
    MediaPlayer& player_;
    std::function<void(OpenFailure, std::string)> opened_;
    std::function<void(const SoundLevel&)> levelListener_;
    std::string file_;
};

}  // namespace chimeon
