#pragma once

#include <unistd.h>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QString>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/audio_output_watch.h"
#include "link/broadcaster_types.h"

namespace chimeon {

class BroadcastEngine;

// Who may call, and what the commands beside the engine's own do; empty functions do nothing.
struct BroadcasterHooks {
    // The tables, the calendar and setup.ini read again (SIGHUP's work); empty: the engine's
    // ApplyNewSettings.
    std::function<void()> reload;
    std::function<void()> reloadCalendar;
    // The orderly end (SIGTERM's work); called once the caller has its answer.
    std::function<void()> quit;
    // What GetHealth answers; empty: no page, the clock not asked.
    std::function<BroadcasterHealth()> health;
    // The network output's zones as JSON (what GetZones answers; it must never wait); empty: no
    // network output.
    std::function<std::string()> zones;
    // The user whose callers are served: the broadcaster's own.
    unsigned ownUid = ::getuid();
};

// Only the broadcaster's own user gives it commands.
bool MayCall(unsigned callerUid, unsigned ownUid);

// The broadcast engine on the bus: its news as signals, its commands as methods answered once the
// engine has carried them out. It lives on a thread of its own choosing (the application's),
// never the engine's, and neither thread ever waits for the other or for a caller: it keeps a
// copy of the engine's list from its news to answer GetSnapshot, and replies late to commands.
// Make it before the engine's Start (or give Start again, which sends the whole state anew).
class BroadcasterAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.chimeon.Broadcaster1")
    Q_PROPERTY(QString DataDirectory READ DataDirectory)
public:
    enum class Registration { kDone, kNoBus, kNameTaken };

    BroadcasterAdaptor(BroadcastEngine& engine, std::filesystem::path dataDirectory,
                       BroadcasterHooks hooks, QObject* parent = nullptr);
    ~BroadcasterAdaptor() override;

    // Puts the object on `bus` under the bus name of its data directory.
    Registration Register(QDBusConnection bus);
    // For a reporter on any thread that may outlive the adaptor: the problem in its own words
    // becomes the notice of `topic` ("" clears it).
    std::function<void(const std::string& problem)> NoticeReporter(NoticeTopic topic);
    // The same for a reporter that words its notices itself: the whole text of `topic`'s notice.
    std::function<void(NoticeTopic topic, const std::string& text)> NoticeSetter();
    // The notice of `topic` ("" clears it), on the adaptor's thread.
    void SetNotice(NoticeTopic topic, const std::string& text);
    QString DataDirectory() const;

public slots:
    qulonglong GetSnapshot(chimeon::TodayRows& rows, chimeon::BroadcastState& state,
                           chimeon::BroadcasterNotices& notices);
    int Play(int row, qulonglong generation, QString& reminder);
    int Stop(QString& reminder);
    int SetMode(int mode, QString& reminder);
    int ApplyNewSettings(QString& reminder);
    int Reload(QString& reminder);
    int ReloadCalendar(QString& reminder);
    int AddRow(const chimeon::ProgramItem& item, QString& reminder);
    int ReplaceRow(int row, qulonglong generation, const chimeon::ProgramItem& item,
                   QString& reminder);
    int DeleteRow(int row, qulonglong generation, QString& reminder);
    int MoveRow(int row, int delta, qulonglong generation, QString& reminder);
    QString GetPlayerStatus(qint64& positionMs, qint64& lengthMs);
    QString GetHealth(QString& pageProblem, QString& clock, QString& clockDetail);
    // The network output's zones and clients as JSON ("" when it is off).
    QString GetZones();
    int Quit(QString& reminder);

signals:
    void RowsReplaced(qulonglong generation, const chimeon::TodayRows& rows);
    void RowChanged(int row, const chimeon::TodayRow& value);
    void RowAppended(const chimeon::TodayRow& value);
    void RowRemoved(int row);
    void StateChanged(const chimeon::BroadcastState& state);
    void Refused(int answer, const QString& reminder);
    void SelectedRowMoved(int from, int to);
    void PlayerOpened(int failure, const QString& reason);
    void NoticesChanged(const chimeon::BroadcasterNotices& notices);

private:
    // A call being served: answered on the connection it came by.
    struct Call {
        QDBusMessage message;
        QDBusConnection bus;
    };
    using Work = std::function<void(const Call& call)>;
    struct Link {
        std::mutex mutex;
        BroadcasterAdaptor* adaptor = nullptr;
    };
    struct Caller {
        std::optional<bool> allowed;
        std::vector<std::pair<Call, Work>> waiting;
    };

    // Runs `work` with the current call once its sender is known to be allowed (in the order
    // the calls came), answers AccessDenied otherwise.
    void Admit(Work work);
    void CallerKnown(const QString& sender, bool allowed);
    // Gives `command` to the engine and answers the current call once it has been carried out.
    void Command(std::function<void()> command);
    void Answer(const Call& call, ConsoleAnswer answer);
    void PublishNotices();
    BroadcasterNotices Notices() const;

    BroadcastEngine& engine_;
    std::filesystem::path dataDirectory_;
    BroadcasterHooks hooks_;
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    TodayList rows_;
    BroadcastState state_;
    AudioOutputWatch audio_;
    std::array<std::string, kNoticeTopicCount> notices_;
    QHash<QString, Caller> callers_;
    // The refusal of the command being carried out, taken by its answer.
    std::optional<ConsoleAnswer> refusal_;
    std::deque<Call> statusCalls_;
};

}  // namespace chimeon
