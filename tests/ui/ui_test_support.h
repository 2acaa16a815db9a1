#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

#include "core/app/settings_store.h"
#include "ui/app/message_box.h"
#include "ui/app/system_tray.h"

namespace chimeon {
class BroadcastEngine;
}

namespace chimeon::test {

// The one application object of the widget tests (offscreen platform).
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

// Settings kept in memory.
class MemorySettings : public SettingsStore {
public:
    int GetInt(std::string_view key, int defaultValue) const override;
    std::string GetString(std::string_view key, std::string_view defaultValue) const override;
    bool WriteInt(std::string_view key, int value) override;
    bool WriteString(std::string_view key, std::string_view value) override;
    std::map<std::string, std::string, std::less<>> values;
};

}  // namespace chimeon::test
