#pragma once

#include <QTimer>
#include <chrono>
#include <functional>

#include "core/engine/clock_ports.h"

namespace chimeon {

// A timer on the thread that makes it which drives one handler of the broadcast clock while
// armed: single shot, re-armed after every call with the interval asked for then (the step timer
// lands just after each second boundary; the day timer runs every second).
class QtClockTimer : public ClockTimer {
public:
    QtClockTimer(std::function<std::chrono::milliseconds()> interval, std::function<void()> handler,
                 Qt::TimerType type);
    void Arm() override;
    void Kill() override;
    bool IsArmed() const { return armed_; }
    const QTimer& timer() const { return timer_; }
    // What the timer does when it runs out, now (tests drive the clock with it).
    void Fire();

private:
    std::function<std::chrono::milliseconds()> interval_;
    std::function<void()> handler_;
    bool armed_ = false;
    QTimer timer_;
};

}  // namespace chimeon
