#include "link/broadcaster_client.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QList>
#include <QVariant>

#include "core/app/broadcaster_bus_name.h"
#include "link/pending_call.h"

namespace chimeon {
namespace {

const QString kInterface = ToQString(kBroadcasterInterface);
const QString kPath = ToQString(kBroadcasterObjectPath);

const char* const kSignals[] = {"RowsReplaced", "RowChanged",    "RowAppended",
                                "RowRemoved",   "StateChanged",  "SelectedRowMoved",
                                "PlayerOpened", "NoticesChanged"};

ConsoleAnswer AnswerFromWire(int value) {
    return value >= 0 && value <= static_cast<int>(ConsoleAnswer::kPlayOverReloaded)
               ? static_cast<ConsoleAnswer>(value)
               : ConsoleAnswer::kNothing;
}

OpenFailure FailureFromWire(int value) {
    return value >= 0 && value <= static_cast<int>(OpenFailure::kNoAudioOutput)
               ? static_cast<OpenFailure>(value)
               : OpenFailure::kFile;
}

}  // namespace

BroadcasterClient::BroadcasterClient(QDBusConnection bus,
                                     const std::filesystem::path& dataDirectory, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      busName_(ToQString(BroadcasterBusName(dataDirectory))),
      watcher_(busName_, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    RegisterBroadcasterTypes();
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                OnOwnerChanged(oldOwner, newOwner);
            });
    for (const char* name : kSignals) {
        bus_.connect(busName_, kPath, kInterface, QString::fromLatin1(name), this,
                     SLOT(OnBroadcasterSignal(QDBusMessage)));
    }
    Attach();
}

BroadcasterClient::~BroadcasterClient() = default;

void BroadcasterClient::Attach() {
    const std::uint64_t attempt = ++attempt_;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(busName_, kPath, kInterface, QStringLiteral("GetSnapshot"));
    WhenFinished(
        bus_.asyncCall(call, kCallTimeoutMs), this,
        [this, attempt](QDBusPendingCallWatcher& finished) {
            QDBusPendingReply<qulonglong, TodayRows, BroadcastState, BroadcasterNotices> reply =
                finished;
            // A broadcaster not there yet is attached to when its name appears.
            if (attempt != attempt_ || reply.isError()) {
                return;
            }
            // News sent before this answer is in it; news after it follows.
            attached_ = true;
            emit rowsReplaced(reply.argumentAt<0>(), reply.argumentAt<1>());
            emit stateChanged(reply.argumentAt<2>());
            emit noticesChanged(reply.argumentAt<3>());
            emit attached();
        });
}

void BroadcasterClient::Detach() {
    ++attempt_;
    if (attached_) {
        attached_ = false;
        emit detached();
    }
}

void BroadcasterClient::OnOwnerChanged(const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty()) {
        Detach();
    }
    if (!newOwner.isEmpty()) {
        Attach();
    }
}

void BroadcasterClient::OnBroadcasterSignal(const QDBusMessage& message) {
    if (!attached_) {
        return;  // the snapshot on its way has this news in it
    }
    const QList<QVariant> arguments = message.arguments();
    const QString member = message.member();
    const auto count = arguments.size();
    if (member == QLatin1String("RowsReplaced") && count == 2) {
        emit rowsReplaced(arguments[0].toULongLong(), qdbus_cast<TodayRows>(arguments[1]));
    } else if (member == QLatin1String("RowChanged") && count == 2) {
        emit rowChanged(arguments[0].toInt(), qdbus_cast<TodayRow>(arguments[1]));
    } else if (member == QLatin1String("RowAppended") && count == 1) {
        emit rowAppended(qdbus_cast<TodayRow>(arguments[0]));
    } else if (member == QLatin1String("RowRemoved") && count == 1) {
        emit rowRemoved(arguments[0].toInt());
    } else if (member == QLatin1String("StateChanged") && count == 1) {
        emit stateChanged(qdbus_cast<BroadcastState>(arguments[0]));
    } else if (member == QLatin1String("SelectedRowMoved") && count == 2) {
        emit selectedRowMoved(arguments[0].toInt(), arguments[1].toInt());
    } else if (member == QLatin1String("PlayerOpened") && count == 2) {
        emit playerOpened(FailureFromWire(arguments[0].toInt()),
                          FromQString(arguments[1].toString()));
    } else if (member == QLatin1String("NoticesChanged") && count == 1) {
        emit noticesChanged(qdbus_cast<BroadcasterNotices>(arguments[0]));
    }
}

void BroadcasterClient::Command(const QString& method, QList<QVariant> arguments, Answered done) {
    QDBusMessage call = QDBusMessage::createMethodCall(busName_, kPath, kInterface, method);
    call.setArguments(arguments);
    WhenFinished(bus_.asyncCall(call, kCallTimeoutMs), this,
                 [this, done = std::move(done)](QDBusPendingCallWatcher& finished) {
                     QDBusPendingReply<int, QString> reply = finished;
                     BroadcasterAnswer answer;
                     if (reply.isError()) {
                         answer.error = FromQString(reply.error().message());
                         if (answer.error.empty()) {
                             answer.error = FromQString(reply.error().name());
                         }
                     } else {
                         answer.answer = AnswerFromWire(reply.argumentAt<0>());
                         answer.reminder = FromQString(reply.argumentAt<1>());
                     }
                     if (!answer.reminder.empty()) {
                         emit refused(answer.answer);
                     }
                     if (done) {
                         done(answer);
                     }
                 });
}

void BroadcasterClient::Play(int row, std::uint64_t generation, Answered done) {
    Command(QStringLiteral("Play"), {row, QVariant::fromValue<qulonglong>(generation)},
            std::move(done));
}

void BroadcasterClient::Stop(Answered done) {
    Command(QStringLiteral("Stop"), {}, std::move(done));
}

void BroadcasterClient::SwitchMode(ControlMode mode, Answered done) {
    Command(QStringLiteral("SetMode"), {static_cast<int>(mode)}, std::move(done));
}

void BroadcasterClient::ApplyNewSettings(Answered done) {
    Command(QStringLiteral("ApplyNewSettings"), {}, std::move(done));
}

void BroadcasterClient::Reload(Answered done) {
    Command(QStringLiteral("Reload"), {}, std::move(done));
}

void BroadcasterClient::ReloadCalendar(Answered done) {
    Command(QStringLiteral("ReloadCalendar"), {}, std::move(done));
}

void BroadcasterClient::AddRow(ProgramItem item, Answered done) {
    Command(QStringLiteral("AddRow"), {QVariant::fromValue(item)}, std::move(done));
}

void BroadcasterClient::ReplaceRow(int row, std::uint64_t generation, ProgramItem item,
                                   Answered done) {
    Command(QStringLiteral("ReplaceRow"),
            {row, QVariant::fromValue<qulonglong>(generation), QVariant::fromValue(item)},
            std::move(done));
}

void BroadcasterClient::DeleteRow(int row, std::uint64_t generation, Answered done) {
    Command(QStringLiteral("DeleteRow"), {row, QVariant::fromValue<qulonglong>(generation)},
            std::move(done));
}

void BroadcasterClient::MoveRow(int row, int delta, std::uint64_t generation, Answered done) {
    Command(QStringLiteral("MoveRow"), {row, delta, QVariant::fromValue<qulonglong>(generation)},
            std::move(done));
}

void BroadcasterClient::Quit(Answered done) {
    Command(QStringLiteral("Quit"), {}, std::move(done));
}

void BroadcasterClient::RequestZones() {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(busName_, kPath, kInterface, QStringLiteral("GetZones"));
    WhenFinished(bus_.asyncCall(call, kCallTimeoutMs), this,
                 [this](QDBusPendingCallWatcher& finished) {
                     QDBusPendingReply<QString> reply = finished;
                     emit zones(reply.isError() ? std::string() : FromQString(reply.value()));
                 });
}

void BroadcasterClient::RequestPlayerStatus() {
    const QDBusMessage call = QDBusMessage::createMethodCall(busName_, kPath, kInterface,
                                                             QStringLiteral("GetPlayerStatus"));
    WhenFinished(bus_.asyncCall(call, kCallTimeoutMs), this,
                 [this](QDBusPendingCallWatcher& finished) {
                     QDBusPendingReply<QString, qint64, qint64> reply = finished;
                     if (reply.isError()) {
                         emit playerStatus({}, 0, 0);
                         return;
                     }
                     emit playerStatus(FromQString(reply.argumentAt<0>()), reply.argumentAt<1>(),
                                       reply.argumentAt<2>());
                 });
}

}  // namespace chimeon
