#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <string>

#include "core/system/unattended_rules.h"

namespace chimeon {

class BroadcastEngine;
struct BroadcastState;

// What the unattended rules work with; the references must outlive the service.
struct UnattendedParts {
    BroadcastEngine& engine;
    const LocalClock& clock;
    PowerOff& power;
    PlayHistory* history = nullptr;
    std::filesystem::path dataDirectory;
};

// The rules that run with nobody at the screen, on the thread that makes the service (never the
// engine's): the daily shutdown on a timer of its own, which manual mode does not stop; the holiday
// action once the engine has chosen today's table; and the holiday calendar and setup.ini read
// again whenever they change in the data directory (the window's pages, `chimeonctl import`, an
// editor). The tables reach today's list only by Reload, the change of day or the next start.
class UnattendedService : public QObject {
    Q_OBJECT
public:
    explicit UnattendedService(UnattendedParts parts, QObject* parent = nullptr);

    // Reads the calendar (given to the engine) and setup.ini and starts watching them. Call
    // before the engine's Start, so that its first state meets the holiday action.
    void Start();
    // "应用新的设置" (today's list loaded anew from the tables) with the calendar and setup.ini
    // read again.
    void Reload();
    // HlidSave.dat and WorkSave.dat read again, changed or not.
    void ReloadCalendar();

    const UnattendedRules& rules() const { return rules_; }

signals:
    // The holiday action "退出Chimeon": the program is to end now.
    void endProgram();

private:
    // Reads again what changed since it was last read (all of it when `force`).
    void ReadStoredFiles(bool force);
    void OnEngineState(const BroadcastState& state);

    UnattendedParts parts_;
    UnattendedRules rules_;
    QTimer shutdownTimer_;
    QTimer settleTimer_;  // a burst of changes is read once
    QFileSystemWatcher watcher_;
    std::optional<std::string> calendarBytes_;
    std::optional<std::string> settingsBytes_;
};

}  // namespace chimeon
