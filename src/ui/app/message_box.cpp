#include "ui/app/message_box.h"

#include <QMessageBox>
#include <utility>

namespace chimeon {

namespace {
MessageHandler& CurrentHandler() {
    static MessageHandler handler;
    return handler;
}
}  // namespace

void ShowMessage(QWidget* parent, const QString& text) {
    if (CurrentHandler()) {
        CurrentHandler()(parent, text);
        return;
    }
    QMessageBox::information(parent, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok);
}

void ShowNotice(QWidget* parent, const QString& text) {
    if (CurrentHandler()) {
        CurrentHandler()(parent, text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kApplicationTitle),
                                text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    return std::exchange(CurrentHandler(), std::move(handler));
}

}  // namespace chimeon
