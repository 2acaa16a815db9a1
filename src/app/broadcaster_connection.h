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

// What the keeper does outside the window's process; the system's by SystemLauncher, a test's own
// otherwise.
struct BroadcasterLauncher {
    // The user unit is enabled for the data directory (then it is the one started).
    std::function<bool()> unitServes;
    // Asks systemd to start the user unit; false when that cannot be asked.
    std::function<bool()> startUnit;
    // Starts the broadcaster's program, detached from the window: its process id, 0 on failure.
    std::function<qint64()> startProgram;
    // The process is still there (starting, say).
    std::function<bool(qint64 pid)> alive;
    // The orderly end by its signal, for one that is not on the bus.
    std::function<void(qint64 pid)> terminate;
};

// The system's: systemctl, chimeond beside `windowProgram` (the window's own executable) or on
// PATH, for `dataDirectory`.
BroadcasterLauncher SystemLauncher(std::filesystem::path dataDirectory,
                                   std::filesystem::path windowProgram);

// How the window gets a broadcaster for its data directory when none runs, and ends the one it
// started itself.
class BroadcasterKeeper {
public:
    // A broadcaster the window started and lost (a crash, say) is started again this often.
    static constexpr int kRelaunchMs = 3000;

    BroadcasterKeeper(BroadcasterClient& client, BroadcasterLauncher launcher,
                      int relaunchMs = kRelaunchMs);

    // At start: when no broadcaster of the data directory is on the bus, starts one (the user
    // unit when it is enabled for this directory, else the program). Without a session bus it
    // is started once and not looked after: it could never be seen to come up.
    void StartWhenMissing();
    // The broadcaster runs as a user service: it goes on when the window ends.
    bool RunsAsService() const { return unitEnabled_; }
    // "退出": the broadcaster the window started itself ends with it (in order); `then` runs once
    // that is asked for.
    void EndWithWindow(std::function<void()> then);

private:
    bool Launch();
    void Relaunch();

    BroadcasterClient& client_;
    BroadcasterLauncher launcher_;
    bool unitEnabled_ = false;
    qint64 startedPid_ = 0;
    QTimer relaunch_;
};

}  // namespace chimeon
