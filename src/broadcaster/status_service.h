#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/operator_notices.h"
#include "core/status/history_tap.h"
#include "core/status/status_settings.h"
#include "core/status/status_snapshot.h"
#include "core/system/clock_health.h"
#include "core/system/local_clock.h"

namespace chimeon {

class AlertSender;
class BroadcastEngine;
class StatusServer;
struct BroadcastState;

// What the status service works with; the references must outlive it.
struct StatusServiceParts {
    BroadcastEngine& engine;
    const LocalClock& clock;
    HistoryTap& history;  // the play history the engine's recorder writes to
    ClockSyncSource& clockSync;
    std::filesystem::path dataDirectory;
    StatusSettings settings;
    // How often the clock's synchronisation is asked for.
    std::chrono::milliseconds clockCheckInterval{std::chrono::minutes(1)};
    // Told each change of the notices this service raises (silent start, the clock), with the
    // full notice text ("" clears it), on the service's thread.
    std::function<void(NoticeTopic, const std::string&)> notice;
};

// The proof that the bells sound, on the thread that makes it (never the engine's): it follows
// the engine's news and the play history into the status page's snapshot, asks the system's time
// service about the clock on a thread of its own, raises the notices of a silent start and of an
// unsynchronised clock, and sends the alerts. The page is served on threads of its own from the
// snapshot's published copy.
class StatusService : public QObject {
    Q_OBJECT
public:
    explicit StatusService(StatusServiceParts parts, QObject* parent = nullptr);
    ~StatusService() override;

    // The page's address ("" when it is not served), and the clock's last known health.
    std::string PageUrl() const;
    // Why the page is not served although setup.ini asks for it ("" when served or turned off).
    const std::string& PageProblem() const { return pageProblem_; }
    ClockHealth Clock() const { return snapshot_.clock; }
    // The zones of the network output, as `zones` gives them now (it must never wait; asked at
    // every redraw of the page), those playing `stream` being ours. A start that missed one is
    // alerted from its failure in the play history.
    void FollowZones(std::function<ZoneSnapshot()> zones, std::string stream);
    // A notice the program raised elsewhere (for the page's list).
    void SetNotice(NoticeTopic topic, const std::string& text);
    // The notice this service raised last on `topic` ("" for none), for a page made later.
    std::string RaisedNotice(NoticeTopic topic) const {
        return raised_[static_cast<std::size_t>(topic)];
    }

private:
    void OnHistory(const HistoryEvent& event, const std::optional<SoundLevel>& level);
    void OnClock(const ClockHealth& health);
    void RaiseNotice(NoticeTopic topic, const std::string& text);
    void LoadRecentEvents();
    void Publish();
    void ClockLoop();

    StatusServiceParts parts_;
    StatusBoard board_;
    StatusSnapshot snapshot_;
    OperatorNotices notices_;
    std::array<std::string, kNoticeTopicCount> raised_;
    std::unique_ptr<StatusServer> server_;
    std::string pageProblem_;
    std::unique_ptr<AlertSender> alerts_;
    std::function<ZoneSnapshot()> zones_;
    QTimer publishTimer_;

    std::mutex clockMutex_;
    std::condition_variable clockWake_;
    bool stopping_ = false;
    std::thread clockThread_;
};

}  // namespace chimeon
