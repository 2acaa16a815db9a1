#include "broadcaster/unattended_service.h"

#include "broadcaster/broadcast_engine.h"
#include "core/app/ini_settings_store.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/file_descriptor.h"
#include "core/schedule/holiday_calendar.h"
#include "core/system/log.h"

namespace chimeon {
namespace {

constexpr int kSettleMs = 200;
const char* const kWatchedFiles[] = {"setup.ini", "HlidSave.dat", "WorkSave.dat"};

// The stored bytes of a file ("" when it cannot be read), for telling a change apart from a
// touch of the folder (the history's journal, a clock file).
std::string StoredBytes(const std::filesystem::path& file) {
    return ReadFileBytes(file).value_or(std::string());
}

}  // namespace

UnattendedService::UnattendedService(UnattendedParts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      rules_(parts_.clock, parts_.power, parts_.history) {
    shutdownTimer_.setInterval(kShutdownTimerMs);
    connect(&shutdownTimer_, &QTimer::timeout, this, [this] { rules_.Tick(); });
    settleTimer_.setSingleShot(true);
    settleTimer_.setInterval(kSettleMs);
    connect(&settleTimer_, &QTimer::timeout, this, [this] { ReadStoredFiles(false); });
    // Saves are atomic renames: the folder sees them, a watch on the old file would not.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settleTimer_,
            qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &settleTimer_,
            qOverload<>(&QTimer::start));
    connect(&parts_.engine, &BroadcastEngine::stateChanged, this, &UnattendedService::OnEngineState,
            Qt::QueuedConnection);
}

void UnattendedService::Start() {
    ReadStoredFiles(true);
    if (!watcher_.addPath(QString::fromStdString(parts_.dataDirectory.string()))) {
        Log(LogLevel::kWarning, "settings",
            "the data directory cannot be watched: changed settings and calendars take effect "
            "after a reload");
    }
}

void UnattendedService::Reload() {
    ReadStoredFiles(true);
    parts_.engine.ApplyNewSettings();
}

void UnattendedService::ReloadCalendar() {
    calendarBytes_.reset();
    ReadStoredFiles(false);
}

void UnattendedService::ReadStoredFiles(bool force) {
    const std::filesystem::path& folder = parts_.dataDirectory;
    std::string calendar =
        StoredBytes(folder / "HlidSave.dat") + '\n' + StoredBytes(folder / "WorkSave.dat");
    if (force || calendar != calendarBytes_) {
        calendarBytes_ = std::move(calendar);
        parts_.engine.SetCalendar(LoadHolidayCalendar(folder));
    }
    std::string settings = StoredBytes(folder / "setup.ini");
    if (force || settings != settingsBytes_) {
        settingsBytes_ = std::move(settings);
        rules_.Apply(ReadUnattendedSettings(IniSettingsStore(folder / "setup.ini")));
        if (!rules_.ShutdownRunning()) {
            shutdownTimer_.stop();
        } else if (!shutdownTimer_.isActive()) {
            shutdownTimer_.start();
        }
    }
    // Files written in place are seen through a watch of their own (re-added: a rename drops it).
    for (const char* name : kWatchedFiles) {
        const QString file = QString::fromStdString((folder / name).string());
        if (!watcher_.files().contains(file) && std::filesystem::exists(folder / name)) {
            watcher_.addPath(file);
        }
    }
}

void UnattendedService::OnEngineState(const BroadcastState& state) {
    if (rules_.CarryOutHolidayAction(state.noBroadcastToday)) {
        emit endProgram();
    }
}

}  // namespace chimeon
