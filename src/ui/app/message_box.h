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

// Where messages go instead of a box (tests); an empty handler restores the box. Returns the
// handler that was in place.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace chimeon
