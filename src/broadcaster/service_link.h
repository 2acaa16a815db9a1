#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "core/engine/today_list.h"
#include "core/system/local_clock.h"
#include "core/system/service_notifier.h"

namespace chimeon {

class BroadcastEngine;
class ThreadTimer;
struct BroadcastState;
enum class OpenFailure;

// Tells the service manager what the broadcaster does: ready once today's table is chosen, the
// clock's status with the next start (and a sound output that is missing), and, from the
// engine's own thread at half the watchdog's interval, that the engine still runs, so that a hung
// engine, not only a hung process, is restarted.
class ServiceLink : public QObject {
    Q_OBJECT
public:
    ServiceLink(BroadcastEngine& engine, const LocalClock& clock, ServiceNotifier& notifier);
    ~ServiceLink() override;

    // Call after the engine runs on its own thread.
    void StartWatchdog();
    // Around a reload: RELOADING=1 now, READY=1 once the engine has carried it out.
    void Reloading();
    void Stopping();

private:
    void ShowStatus();

    BroadcastEngine& engine_;
    const LocalClock& clock_;
    ServiceNotifier& notifier_;
    std::unique_ptr<ThreadTimer> watchdog_;
    bool ready_ = false;
    std::string statusText_;
    std::string soundProblem_;
    std::string shown_;
    TodayRows rows_;
};

}  // namespace chimeon
