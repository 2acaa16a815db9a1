#include "link/server/broadcaster_adaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariant>

#include "broadcaster/broadcast_engine.h"
#include "core/app/broadcaster_bus_name.h"
#include "link/pending_call.h"

namespace chimeon {
namespace {

constexpr qsizetype kRememberedCallers = 256;
const char* const kDeniedText = "只有运行广播程序的用户才能操作它";

}  // namespace

bool MayCall(unsigned callerUid, unsigned ownUid) {
    return callerUid == ownUid;
}

BroadcasterAdaptor::BroadcasterAdaptor(BroadcastEngine& engine, std::filesystem::path dataDirectory,
                                       BroadcasterHooks hooks, QObject* parent)
    : QObject(parent),
      engine_(engine),
      dataDirectory_(std::move(dataDirectory)),
      hooks_(std::move(hooks)) {
    RegisterBroadcasterTypes();
    link_->adaptor = this;
    constexpr auto kQueued = Qt::QueuedConnection;
    using E = BroadcastEngine;
    connect(
        &engine, &E::rowsReplaced, this,
        [this](std::uint64_t generation, const TodayRows& rows) {
            rows_.Mirror(rows, generation);
            emit RowsReplaced(generation, rows);
        },
        kQueued);
    connect(
        &engine, &E::rowChanged, this,
        [this](int row, const TodayRow& value) {
            rows_.SetRow(row, value);
            emit RowChanged(row, value);
        },
        kQueued);
    connect(
        &engine, &E::rowAppended, this,
        [this](const TodayRow& value) {
            rows_.AppendRow(value);
            emit RowAppended(value);
        },
        kQueued);
    connect(
        &engine, &E::rowRemoved, this,
        [this](int row) {
            rows_.RemoveRow(row);
            emit RowRemoved(row);
        },
        kQueued);
    connect(
        &engine, &E::stateChanged, this,
        [this](const BroadcastState& state) {
            state_ = state;
            emit StateChanged(state);
        },
        kQueued);
    connect(
        &engine, &E::refused, this,
        [this](ConsoleAnswer answer) {
            refusal_ = answer;
            emit Refused(static_cast<int>(answer), ToQString(ConsoleAnswerText(answer)));
        },
        kQueued);
    connect(&engine, &E::selectedRowMoved, this, &BroadcasterAdaptor::SelectedRowMoved, kQueued);
    connect(
        &engine, &E::playerOpened, this,
        [this](OpenFailure failure, const std::string& reason) {
            audio_.PlayerOpened(failure, reason);
            SetNotice(NoticeTopic::kAudioOutput, audio_.Notice());
            emit PlayerOpened(static_cast<int>(failure), ToQString(reason));
        },
        kQueued);
    connect(
        &engine, &E::playerStatus, this,
        [this](const std::string& file, std::int64_t positionMs, std::int64_t lengthMs) {
            if (statusCalls_.empty()) {
                return;
            }
            const Call call = std::move(statusCalls_.front());
            statusCalls_.pop_front();
            call.bus.send(
                call.message.createReply({ToQString(file), QVariant::fromValue<qint64>(positionMs),
                                          QVariant::fromValue<qint64>(lengthMs)}));
        },
        kQueued);
}

BroadcasterAdaptor::~BroadcasterAdaptor() {
    const std::lock_guard lock(link_->mutex);
    link_->adaptor = nullptr;
}

BroadcasterAdaptor::Registration BroadcasterAdaptor::Register(QDBusConnection bus) {
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return Registration::kNoBus;
    }
    const QString path = ToQString(kBroadcasterObjectPath);
    if (!bus.registerObject(path, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        return Registration::kNoBus;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(ToQString(BroadcasterBusName(dataDirectory_)),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        return Registration::kDone;
    }
    bus.unregisterObject(path);
    return reply.isValid() ? Registration::kNameTaken : Registration::kNoBus;
}

std::function<void(const std::string&)> BroadcasterAdaptor::NoticeReporter(NoticeTopic topic) {
    return [set = NoticeSetter(), topic](const std::string& problem) {
        set(topic, ReportedNotice(topic, problem));
    };
}

std::function<void(NoticeTopic, const std::string&)> BroadcasterAdaptor::NoticeSetter() {
    return [link = link_](NoticeTopic topic, const std::string& text) {
        const std::lock_guard lock(link->mutex);
        if (BroadcasterAdaptor* adaptor = link->adaptor) {
            QMetaObject::invokeMethod(
                adaptor, [adaptor, topic, text] { adaptor->SetNotice(topic, text); },
                Qt::QueuedConnection);
        }
    };
}

void BroadcasterAdaptor::SetNotice(NoticeTopic topic, const std::string& text) {
    std::string& notice = notices_[static_cast<std::size_t>(topic)];
    if (notice != text) {
        notice = text;
        emit NoticesChanged(Notices());
    }
}

BroadcasterNotices BroadcasterAdaptor::Notices() const {
    BroadcasterNotices notices;
    for (std::size_t topic = 0; topic < notices_.size(); ++topic) {
        if (!notices_[topic].empty()) {
            notices.push_back({static_cast<NoticeTopic>(topic), notices_[topic]});
        }
    }
    return notices;
}

QString BroadcasterAdaptor::DataDirectory() const {
    return ToQString(dataDirectory_.string());
}

void BroadcasterAdaptor::Admit(Work work) {
    setDelayedReply(true);
    Call call{message(), connection()};
    const QString sender = call.message.service();
    if (callers_.size() > kRememberedCallers) {
        // Unique names are never given twice; those that got their answer may be forgotten.
        callers_.removeIf([](const auto& entry) { return entry.value().waiting.empty(); });
    }
    Caller& caller = callers_[sender];
    if (caller.allowed.has_value()) {
        if (*caller.allowed) {
            work(call);
        } else {
            call.bus.send(call.message.createErrorReply(QString::fromLatin1(kAccessDeniedError),
                                                        QString::fromUtf8(kDeniedText)));
        }
        return;
    }
    caller.waiting.emplace_back(call, std::move(work));
    if (caller.waiting.size() > 1) {
        return;  // its user is being asked for
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    ask << sender;
    WhenFinished(call.bus.asyncCall(ask), this, [this, sender](QDBusPendingCallWatcher& done) {
        const QDBusPendingReply<uint> reply = done;
        CallerKnown(sender, !sender.isEmpty() && !reply.isError() &&
                                MayCall(reply.argumentAt<0>(), hooks_.ownUid));
    });
}

void BroadcasterAdaptor::CallerKnown(const QString& sender, bool allowed) {
    Caller& caller = callers_[sender];
    caller.allowed = allowed;
    const auto waiting = std::exchange(caller.waiting, {});
    for (const auto& [call, work] : waiting) {
        if (allowed) {
            work(call);
        } else {
            call.bus.send(call.message.createErrorReply(QString::fromLatin1(kAccessDeniedError),
                                                        QString::fromUtf8(kDeniedText)));
        }
    }
}

void BroadcasterAdaptor::Command(std::function<void()> command) {
    Admit([this, command = std::move(command)](const Call& call) {
        command();
        // The engine's refusal of this command, if any, arrives before this.
        engine_.WhenIdle(this, [this, call] {
            Answer(call, refusal_.value_or(ConsoleAnswer::kDone));
            refusal_.reset();
        });
    });
}

void BroadcasterAdaptor::Answer(const Call& call, ConsoleAnswer answer) {
    call.bus.send(
        call.message.createReply({static_cast<int>(answer), ToQString(ConsoleAnswerText(answer))}));
}

qulonglong BroadcasterAdaptor::GetSnapshot(TodayRows&, BroadcastState&, BroadcasterNotices&) {
    Admit([this](const Call& call) {
        call.bus.send(call.message.createReply(
            {QVariant::fromValue<qulonglong>(rows_.Generation()), QVariant::fromValue(rows_.Rows()),
             QVariant::fromValue(state_), QVariant::fromValue(Notices())}));
    });
    return 0;
}

int BroadcasterAdaptor::Play(int row, qulonglong generation, QString&) {
    Command([this, row, generation] { engine_.Play(row, generation); });
    return 0;
}

int BroadcasterAdaptor::Stop(QString&) {
    Command([this] { engine_.Stop(); });
    return 0;
}

int BroadcasterAdaptor::SetMode(int mode, QString&) {
    if (mode != 0 && mode != 1) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("mode is 0 (automatic) or 1 (manual)"));
        return 0;
    }
    Command([this, mode] {
        engine_.SwitchMode(mode == 1 ? ControlMode::kManual : ControlMode::kAutomatic);
    });
    return 0;
}

int BroadcasterAdaptor::ApplyNewSettings(QString&) {
    Command([this] { engine_.ApplyNewSettings(); });
    return 0;
}

int BroadcasterAdaptor::Reload(QString&) {
    Command([this] {
        if (hooks_.reload) {
            hooks_.reload();
        } else {
            engine_.ApplyNewSettings();
        }
    });
    return 0;
}

int BroadcasterAdaptor::ReloadCalendar(QString&) {
    Command([this] {
        if (hooks_.reloadCalendar) {
            hooks_.reloadCalendar();
        }
    });
    return 0;
}

int BroadcasterAdaptor::AddRow(const ProgramItem& item, QString&) {
    Command([this, item] { engine_.AddRow(item); });
    return 0;
}

int BroadcasterAdaptor::ReplaceRow(int row, qulonglong generation, const ProgramItem& item,
                                   QString&) {
    Command([this, row, generation, item] { engine_.ReplaceRow(row, generation, item); });
    return 0;
}

int BroadcasterAdaptor::DeleteRow(int row, qulonglong generation, QString&) {
    Command([this, row, generation] { engine_.DeleteRow(row, generation); });
    return 0;
}

int BroadcasterAdaptor::MoveRow(int row, int delta, qulonglong generation, QString&) {
    Command([this, row, delta, generation] { engine_.MoveRow(row, delta, generation); });
    return 0;
}

QString BroadcasterAdaptor::GetPlayerStatus(qint64&, qint64&) {
    Admit([this](const Call& call) {
        statusCalls_.push_back(call);
        engine_.RequestPlayerStatus();
    });
    return {};
}

QString BroadcasterAdaptor::GetHealth(QString&, QString&, QString&) {
    Admit([this](const Call& call) {
        const BroadcasterHealth health = hooks_.health ? hooks_.health() : BroadcasterHealth{};
        call.bus.send(
            call.message.createReply({ToQString(health.pageUrl), ToQString(health.pageProblem),
                                      QString::fromLatin1(ClockSyncName(health.clock.sync)),
                                      ToQString(health.clock.detail)}));
    });
    return {};
}

QString BroadcasterAdaptor::GetZones() {
    Admit([this](const Call& call) {
        call.bus.send(call.message.createReply(ToQString(hooks_.zones ? hooks_.zones() : "")));
    });
    return {};
}

int BroadcasterAdaptor::Quit(QString&) {
    Admit([this](const Call& call) {
        Answer(call, ConsoleAnswer::kDone);
        if (hooks_.quit) {
            QMetaObject::invokeMethod(this, hooks_.quit, Qt::QueuedConnection);
        }
    });
    return 0;
}

}  // namespace chimeon
