#pragma once

#include <QDBusPendingCallWatcher>
#include <QObject>
#include <utility>

namespace chimeon {

// Runs `handle` with the finished call on `receiver`'s thread; nothing waits for the answer.
template <typename Handle>
void WhenFinished(const QDBusPendingCall& call, QObject* receiver, Handle handle) {
    auto* watcher = new QDBusPendingCallWatcher(call, receiver);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, receiver,
                     [watcher, handle = std::move(handle)]() mutable {
                         watcher->deleteLater();
                         handle(*watcher);
                     });
}

}  // namespace chimeon
