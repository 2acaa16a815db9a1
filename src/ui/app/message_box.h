#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace chimeon {

// Operator messages: a box with an OK button and the application's title.
inline constexpr char kApplicationTitle[] = "Chimeon";

void ShowMessage(QWidget* parent, const QString& text);
// The same box without waiting for the operator: the program goes on at once.
void ShowNotice(QWidget* parent, const QString& text);

// The same box with the exclamation icon (a link that cannot be opened); same handler.
void ShowWarning(QWidget* parent, const QString& text);

// A message titled "提醒" (the pages' reminders); goes to the same handler as ShowMessage.
void ShowReminder(QWidget* parent, const QString& text);
// A message titled "成功" (a completed save); same handler.
void ShowSuccess(QWidget* parent, const QString& text);

// A question titled `title` with the buttons Yes and No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);
// The same with the buttons "确定" and "取消"; true for 确定. Same handler.
bool AskOkCancel(QWidget* parent, const QString& title, const QString& text);
// Where questions go instead of a box (tests): the handler's answer stands for the operator's.
// An empty handler restores the box. Returns the handler that was in place.
using QuestionHandler = std::function<bool(QWidget* parent, const QString& text)>;
QuestionHandler SetQuestionHandler(QuestionHandler handler);

// Where messages go instead of a box (tests); an empty handler restores the box. Returns the
// handler that was in place.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace chimeon
