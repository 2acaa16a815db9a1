#include "broadcaster/qt_clock_timer.h"

namespace chimeon {

QtClockTimer::QtClockTimer(std::function<std::chrono::milliseconds()> interval,
                           std::function<void()> handler, Qt::TimerType type)
    : interval_(std::move(interval)), handler_(std::move(handler)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(type);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Fire(); });
}

void QtClockTimer::Arm() {
    armed_ = true;
    timer_.start(interval_());
}

void QtClockTimer::Kill() {
    armed_ = false;
    timer_.stop();
}

void QtClockTimer::Fire() {
    if (!armed_) {
        return;
    }
    handler_();
    // The handler may have killed the timer (a day without broadcast) or armed it again.
    if (armed_) {
        timer_.start(interval_());
    }
}

}  // namespace chimeon
