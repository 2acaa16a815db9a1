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
    // A broadcaster runs that the window cannot reach (true), or no longer: said while detached.
    void SayOutOfReach(bool outOfReach);

private:
    void ShowNotices(const BroadcasterNotices& notices);
    void SayDetached();

    BroadcasterClient& client_;
    QTimer awayAtStart_;
    std::set<NoticeTopic> shown_;
    std::filesystem::path videoSocket_;
    std::unique_ptr<ShmVideoReceiver> video_;
    QTimer videoPoll_;
    bool outOfReach_ = false;
    bool away_ = false;  // the window has said that the broadcaster is away
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
    // Some process holds the broadcaster's lock of the data directory (a copy runs, on the
    // window's bus or not).
    std::function<bool()> lockHeld;
};

// The system's: systemctl, chimeond beside `windowProgram` (the window's own executable) or on
// PATH, for `dataDirectory`.
BroadcasterLauncher SystemLauncher(std::filesystem::path dataDirectory,
                                   std::filesystem::path windowProgram);

// How the window gets a broadcaster for its data directory when none runs, and ends the one it
// started itself.
class BroadcasterKeeper {
public:
    // A broadcaster the window started that does not come up (or a copy out of reach) is looked
    // at again this often.
    static constexpr int kRelaunchMs = 3000;
    // One of the window's that left the bus is looked at this often until its process has ended,
    // then started again at once (for at most kRelaunchMs; then as one that does not come up).
    static constexpr int kEndWatchMs = 50;

    BroadcasterKeeper(BroadcasterClient& client, BroadcasterLauncher launcher,
                      int relaunchMs = kRelaunchMs);

    // At start: when no broadcaster of the data directory is on the bus, starts one (the user
    // unit when it is enabled for this directory, else the program). Without a session bus it
    // is started once and not looked after: it could never be seen to come up.
    void StartWhenMissing();
    // The broadcaster goes on when the window ends: the user unit serves, or the one there is
    // (attached, or out of reach) was not started by this window.
    bool RunsAsService() const;
    // Told when a broadcaster is found to run out of the window's reach (it holds the lock but is
    // not on the window's bus), and when that is over.
    void OnOutOfReach(std::function<void(bool)> told) { outOfReachTold_ = std::move(told); }
    // "退出": the broadcaster the window started itself ends with it (in order); `then` runs once
    // that is asked for.
    void EndWithWindow(std::function<void()> then);

private:
    bool Launch();
    // Launch, unless another copy holds the lock: that one is waited for.
    bool LaunchUnlessHeld();
    void Relaunch();
    void SetOutOfReach(bool outOfReach);

    BroadcasterClient& client_;
    BroadcasterLauncher launcher_;
    int relaunchMs_;
    bool unitEnabled_ = false;
    bool outOfReach_ = false;
    qint64 startedPid_ = 0;
    int endChecks_ = 0;
    QTimer relaunch_;
    std::function<void(bool)> outOfReachTold_;
};

}  // namespace chimeon
