#include "ui/app/message_box.h"

#include <QMessageBox>
#include <utility>

namespace chimeon {

namespace {
MessageHandler& CurrentHandler() {
    static MessageHandler handler;
    return handler;
}
QuestionHandler& CurrentQuestionHandler() {
    static QuestionHandler handler;
    return handler;
}

void ShowTitled(QWidget* parent, const QString& title, const QString& text) {
    if (CurrentHandler()) {
        CurrentHandler()(parent, text);
        return;
    }
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}
}  // namespace

void ShowReminder(QWidget* parent, const QString& text) {
    ShowTitled(parent, QStringLiteral("提醒"), text);
}

void ShowSuccess(QWidget* parent, const QString& text) {
    ShowTitled(parent, QStringLiteral("成功"), text);
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    if (CurrentQuestionHandler()) {
        return CurrentQuestionHandler()(parent, text);
    }
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool AskOkCancel(QWidget* parent, const QString& title, const QString& text) {
    if (CurrentQuestionHandler()) {
        return CurrentQuestionHandler()(parent, text);
    }
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

QuestionHandler SetQuestionHandler(QuestionHandler handler) {
    return std::exchange(CurrentQuestionHandler(), std::move(handler));
}

void ShowMessage(QWidget* parent, const QString& text) {
    ShowTitled(parent, QString::fromLatin1(kApplicationTitle), text);
}

void ShowWarning(QWidget* parent, const QString& text) {
    if (CurrentHandler()) {
        CurrentHandler()(parent, text);
        return;
    }
    QMessageBox::warning(parent, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok);
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
