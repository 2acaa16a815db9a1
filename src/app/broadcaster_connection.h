#pragma once

#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "link/broadcaster_client.h"
#include "platform/engine/gst_video_hop.h"
#include "ui/engine/broadcast_link.h"

namespace chimeon {

// The window's link to the broadcaster of its data directory over the bus. While there is none
// (not yet started, restarted by systemd, crashed) the window hears `detached` and the page says
// so; the client attaches again by itself when the broadcaster's name comes back.
class ClientLink : public BroadcastLink {
public:
    // How long the window waits for a broadcaster at start before it says there is none.
    static constexpr int kAwayNoticeMs = 2000;

    // How often the preview looks for the broadcaster's pictures while it has none.
    static constexpr int kVideoPollMs = 500;

    // `videoSocket`: where the broadcaster sends its player's pictures.
    ClientLink(BroadcasterClient& client, std::filesystem::path videoSocket);

    void Start() override;
    void Play(int row, std::uint64_t generation) override { client_.Play(row, generation); }
    void Stop() override { client_.Stop(); }
    void SwitchMode(ControlMode mode) override { client_.SwitchMode(mode); }
    void ApplyNewSettings() override { client_.ApplyNewSettings(); }
    void AddRow(ProgramItem item) override { client_.AddRow(std::move(item)); }
    void ReplaceRow(int row, std::uint64_t generation, ProgramItem item) override {
        client_.ReplaceRow(row, generation, std::move(item));
    }
    void DeleteRow(int row, std::uint64_t generation) override {
        client_.DeleteRow(row, generation);
    }
    void MoveRow(int row, int delta, std::uint64_t generation) override {
        client_.MoveRow(row, delta, generation);
    }
    void RequestPlayerStatus() override { client_.RequestPlayerStatus(); }
    // The holiday page has saved the calendar: the broadcaster reads the stored one again.
    void CalendarChanged(const HolidayCalendar&) override { client_.ReloadCalendar(); }
    // The broadcaster's pictures are drawn there, from whenever it is attached.
    void SetSurface(std::shared_ptr<VideoOutput> surface) override;

private:
    void ShowNotices(const BroadcasterNotices& notices);

    BroadcasterClient& client_;
    QTimer awayAtStart_;
    std::set<NoticeTopic> shown_;
    std::filesystem::path videoSocket_;
    std::unique_ptr<ShmVideoReceiver> video_;
    QTimer videoPoll_;
};

// How the window gets a broadcaster for its data directory when none runs, and ends the one it
// started itself.
class BroadcasterKeeper {
public:
    // `windowProgram`: the window's own executable; the broadcaster's program is looked for
    // beside it first.
    BroadcasterKeeper(BroadcasterClient& client, std::filesystem::path dataDirectory,
                      std::filesystem::path windowProgram);

    // At start: when no broadcaster of the data directory is on the bus, starts one (the user
    // unit when it is enabled for this directory, else the program), detached from the window.
    void StartWhenMissing();
    // The broadcaster runs as a user service: it goes on when the window ends.
    bool RunsAsService() const { return unitEnabled_; }
    // "退出": the broadcaster the window started itself ends with it (in order); `then` runs once
    // that is asked for.
    void EndWithWindow(std::function<void()> then);

private:
    bool Launch();

    BroadcasterClient& client_;
    std::filesystem::path dataDirectory_;
    std::filesystem::path windowProgram_;
    bool unitEnabled_ = false;
    qint64 startedPid_ = 0;
    QTimer relaunch_;
};

}  // namespace chimeon
