#include "ui/engine/notice_relay.h"

namespace chimeon {

NoticeRelay::NoticeRelay(QObject* parent) : QObject(parent) {
    link_->relay = this;
}

NoticeRelay::~NoticeRelay() {
    const std::lock_guard<std::mutex> lock(link_->mutex);
    link_->relay = nullptr;
}

void NoticeRelay::Post(NoticeTopic topic, const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, topic, text = text.toStdString()] { Set(topic, text); }, Qt::QueuedConnection);
}

void NoticeRelay::Set(NoticeTopic topic, const std::string& text) {
    if (notices_.Set(topic, text)) {
        emit changed(Text());
    }
}

std::function<void(const std::string&)> NoticeRelay::Reporter(NoticeTopic topic) {
    return [link = link_, topic](const std::string& problem) {
        // Held while posting: the relay cannot go away in between.
        const std::lock_guard<std::mutex> lock(link->mutex);
        if (link->relay != nullptr) {
            link->relay->Post(topic, QString::fromStdString(ReportedNotice(topic, problem)));
        }
    };
}

}  // namespace chimeon
