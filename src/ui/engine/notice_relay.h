#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/engine/operator_notices.h"

namespace chimeon {

// The notices of the today page, gathered on the thread that made the relay from reporters on
// any thread. Reporters may outlive the relay: once it is gone, their reports are dropped.
class NoticeRelay : public QObject {
    Q_OBJECT
public:
    explicit NoticeRelay(QObject* parent = nullptr);
    ~NoticeRelay() override;

    // The notice of `topic` ("" clears it), from any thread: taken at the next turn of the
    // relay's event loop.
    void Post(NoticeTopic topic, const QString& text);
    // The same, at once, on the relay's thread.
    void Set(NoticeTopic topic, const std::string& text);
    // For a reporter on another thread: the problem in its own words becomes the notice of
    // `topic` ("" clears it).
    std::function<void(const std::string& problem)> Reporter(NoticeTopic topic);

    // Every notice, one a line, most urgent first; "" when there is none.
    QString Text() const { return QString::fromStdString(notices_.Text()); }

signals:
    // The text shown changed.
    void changed(const QString& text);

private:
    // Lets reporters reach the relay while it exists, from any thread.
    struct Link {
        std::mutex mutex;
        NoticeRelay* relay = nullptr;
    };

    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    OperatorNotices notices_;
};

}  // namespace chimeon
