#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/engine/media_player.h"
#include "link/broadcaster_types.h"

namespace chimeon {

// The broadcaster of a data directory as the window (or chimeonctl) sees it over the bus: the
// same news as the engine's signals, and its commands, none of which waits on the caller's
// thread. Once attached (the broadcaster runs and answered GetSnapshot) it sends rowsReplaced
// and stateChanged with the whole state, so that a copy fed by it equals the broadcaster's list;
// it watches the bus name and attaches again by itself when the broadcaster comes back.
class BroadcasterClient : public QObject {
    Q_OBJECT
public:
    // What a command came to; called on the client's thread, at most once.
    using Answered = std::function<void(const BroadcasterAnswer& answer)>;
    static constexpr int kCallTimeoutMs = 10'000;

    // Watches the broadcaster of `dataDirectory` on `bus` and tries to attach at once.
    BroadcasterClient(QDBusConnection bus, const std::filesystem::path& dataDirectory,
                      QObject* parent = nullptr);
    ~BroadcasterClient() override;

    bool IsAttached() const { return attached_; }
    const QString& busName() const { return busName_; }
    QDBusConnection& bus() { return bus_; }

    // Commands, with the engine's names; `done` hears what came of them. A refusal with a
    // reminder is also sent as `refused` (to this client only: the window that gave the command
    // shows it).
    void Play(int row, std::uint64_t generation, Answered done = {});
    void Stop(Answered done = {});
    void SwitchMode(ControlMode mode, Answered done = {});
    void ApplyNewSettings(Answered done = {});
    // The tables, the calendar and setup.ini read again (as SIGHUP does).
    void Reload(Answered done = {});
    // HlidSave.dat and WorkSave.dat read again.
    void ReloadCalendar(Answered done = {});
    void AddRow(ProgramItem item, Answered done = {});
    void ReplaceRow(int row, std::uint64_t generation, ProgramItem item, Answered done = {});
    void DeleteRow(int row, std::uint64_t generation, Answered done = {});
    void MoveRow(int row, int delta, std::uint64_t generation, Answered done = {});
    // Answered by playerStatus.
    void RequestPlayerStatus();
    // Asks for the network output's zones; the answer comes as `zones` ("" when the output is
    // off or the broadcaster did not answer).
    void RequestZones();
    // The broadcaster's orderly end (as SIGTERM).
    void Quit(Answered done = {});

signals:
    void rowsReplaced(std::uint64_t generation, chimeon::TodayRows rows);
    void rowChanged(int row, chimeon::TodayRow value);
    void rowAppended(chimeon::TodayRow value);
    void rowRemoved(int row);
    void stateChanged(chimeon::BroadcastState state);
    void refused(chimeon::ConsoleAnswer answer);
    void selectedRowMoved(int from, int to);
    void playerStatus(std::string file, std::int64_t positionMs, std::int64_t lengthMs);
    void playerOpened(chimeon::OpenFailure failure, std::string reason);
    void noticesChanged(chimeon::BroadcasterNotices notices);
    void zones(std::string json);
    // The broadcaster answered GetSnapshot (its state was sent just before), or went away.
    void attached();
    void detached();

private slots:
    void OnBroadcasterSignal(const QDBusMessage& message);

private:
    void Attach();
    void Detach();
    void OnOwnerChanged(const QString& oldOwner, const QString& newOwner);
    void Command(const QString& method, QList<QVariant> arguments, Answered done);

    QDBusConnection bus_;
    QString busName_;
    QDBusServiceWatcher watcher_;
    bool attached_ = false;
    std::uint64_t attempt_ = 0;  // the GetSnapshot whose answer is awaited
};

}  // namespace chimeon
