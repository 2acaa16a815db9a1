#pragma once

#include <QThread>
#include <QTimer>
#include <functional>

namespace chimeon {

// A timer that runs `tick` every `intervalMs` on another thread's event loop (the engine's):
// while that thread is held, nothing it does happens. Owned by the thread that made it; the
// timer itself lives, and is deleted, on `thread`.
class ThreadTimer {
public:
    ThreadTimer(QThread* thread, int intervalMs, std::function<void()> tick) : timer_(new QTimer) {
        timer_->setInterval(intervalMs);
        QObject::connect(timer_, &QTimer::timeout, std::move(tick));
        timer_->moveToThread(thread);
        QMetaObject::invokeMethod(timer_, qOverload<>(&QTimer::start), Qt::QueuedConnection);
    }
    ~ThreadTimer() { timer_->deleteLater(); }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

private:
    QTimer* timer_;
};

}  // namespace chimeon
