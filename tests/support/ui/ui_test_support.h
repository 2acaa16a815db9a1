#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>

#include "support/memory_settings.h"
#include "ui/app/message_box.h"
#include "ui/app/system_tray.h"

namespace chimeon {
class BroadcastEngine;
}

namespace chimeon::test {

// The one application object of the widget tests (offscreen platform), made on first use.
QApplication& App();

// As the first member of a fixture: the application exists before any widget member.
struct WithApp {
    WithApp() { App(); }
};

// Processes events until every command given to the engine so far has been carried out and its
// news delivered (never sleeps).
void WaitForEngine(BroadcastEngine& engine);

// Collects operator messages instead of showing boxes, for the life of the object.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages;

private:
    MessageHandler previous_;
};

// Decides whether the desktop has a tray, for the life of the object.
class TrayAvailability {
public:
    explicit TrayAvailability(bool available) { CSystemTray::SetAvailabilityForTesting(available); }
    ~TrayAvailability() { CSystemTray::SetAvailabilityForTesting(std::nullopt); }
};

}  // namespace chimeon::test
