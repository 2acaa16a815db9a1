#include "ctl/live_commands.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

#include "core/app/broadcaster_bus_name.h"
#include "core/system/unattended_rules.h"
#include "ctl/json_output.h"
#include "ctl/zones_command.h"
#include "platform/app/single_instance_lock.h"
#include "platform/system/system_local_clock.h"

namespace chimeon::ctl {
namespace {

using Json = nlohmann::ordered_json;
constexpr int kCallTimeoutMs = 10'000;

// The running broadcaster of the data directory on the session bus; the calls wait for their
// answers (a command line has nothing else to do meanwhile).
class Broadcaster {
public:
    explicit Broadcaster(const CommandContext& context)
        : context_(context), name_(ToQString(BroadcasterBusName(context.dataDirectory))) {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "chimeonctl";
            static char* argv[] = {name, nullptr};
            application_ = std::make_unique<QCoreApplication>(argc, argv);
        }
        RegisterBroadcasterTypes();
    }

    // False, with the reason said, when none runs on this bus (or one runs out of its reach).
    bool Running() {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        if (bus != nullptr && bus->isServiceRegistered(name_).value()) {
            return true;
        }
        if (BroadcasterLock::HeldElsewhere(context_.dataDirectory,
                                           std::getenv("XDG_RUNTIME_DIR"))) {
            *context_.err << "chimeonctl: 广播程序正在运行，但不在这个会话总线上，无法连接它 (a "
                             "broadcaster of "
                          << context_.dataDirectory.string()
                          << " runs but not on this session bus: started from another login, or "
                             "without a bus)"
                          << std::endl;
            return false;
        }
        *context_.err << "chimeonctl: 没有正在运行的广播程序 (no broadcaster of "
                      << context_.dataDirectory.string() << " runs"
                      << (bus == nullptr ? ", and there is no session bus" : "") << ")"
                      << std::endl;
        return false;
    }

    // The answer's arguments, nothing (with the error said unless `quiet`) when the call failed.
    std::optional<QList<QVariant>> Call(const char* method, const QList<QVariant>& arguments = {},
                                        bool quiet = false) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            name_, ToQString(kBroadcasterObjectPath), ToQString(kBroadcasterInterface), method);
        call.setArguments(arguments);
        const QDBusMessage answer =
            QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
        if (answer.type() != QDBusMessage::ReplyMessage) {
            if (quiet) {
                return std::nullopt;
            }
            *context_.err << "chimeonctl: the broadcaster did not carry out " << method << ": "
                          << FromQString(answer.errorMessage()) << std::endl;
            return std::nullopt;
        }
        return answer.arguments();
    }

    std::optional<BroadcasterSnapshot> Snapshot() {
        const auto answer = Call("GetSnapshot");
        if (!answer || answer->size() != 4) {
            return std::nullopt;
        }
        return BroadcasterSnapshot{(*answer)[0].toULongLong(), qdbus_cast<TodayRows>((*answer)[1]),
                                   qdbus_cast<BroadcastState>((*answer)[2]),
                                   qdbus_cast<BroadcasterNotices>((*answer)[3])};
    }

    // Nothing from a broadcaster older than the question.
    std::optional<BroadcasterHealth> Health() {
        const auto answer = Call("GetHealth", {}, true);
        if (!answer || answer->size() != 4) {
            return std::nullopt;
        }
        return BroadcasterHealth{FromQString((*answer)[0].toString()),
                                 FromQString((*answer)[1].toString()),
                                 {ClockSyncFromName(FromQString((*answer)[2].toString())),
                                  FromQString((*answer)[3].toString())}};
    }

    // A command's answer as the exit status: the reminder of a refusal is said.
    int Command(const char* method, const QList<QVariant>& arguments = {}) {
        const auto answer = Call(method, arguments);
        if (!answer) {
            return kExitUsage;
        }
        if (answer->size() == 2 && !(*answer)[1].toString().isEmpty()) {
            *context_.err << "chimeonctl: " << FromQString((*answer)[1].toString()) << std::endl;
            return kExitFindings;
        }
        return kExitOk;
    }

private:
    const CommandContext& context_;
    QString name_;
    std::unique_ptr<QCoreApplication> application_;
};

std::string ModeName(ControlMode mode) {
    return mode == ControlMode::kManual ? "manual" : "auto";
}

// "served", "off" or "failed" (setup.ini asks for the page but it could not listen).
const char* PageState(const BroadcasterHealth& health) {
    if (!health.pageUrl.empty()) {
        return "served";
    }
    return health.pageProblem.empty() ? "off" : "failed";
}

std::string PageText(const BroadcasterHealth& health) {
    if (!health.pageUrl.empty()) {
        return health.pageUrl;
    }
    if (health.pageProblem.empty()) {
        return "状态页没有开启 (off)";
    }
    return "状态页无法监听 (could not listen: " + health.pageProblem + ")";
}

// A row number as the operator sees it, from 1; null for none.
Json RowNumber(int row) {
    return row >= 0 ? Json(row + 1) : Json(nullptr);
}

}  // namespace

void PrintStatus(const CommandContext& context, const LiveStatus& status) {
    const BroadcasterSnapshot& snapshot = status.snapshot;
    const BroadcastState& state = snapshot.state;
    const int next = NextStartingRow(snapshot.rows, status.now);
    const TodayRow* nextRow = next >= 0 ? &snapshot.rows[static_cast<std::size_t>(next)] : nullptr;
    if (context.json) {
        Json rows = Json::array();
        for (const TodayRow& row : snapshot.rows) {
            rows.push_back(
                {{"title", row.item.title},
                 {"start", row.item.start},
                 {"end", row.item.end},
                 {"volume", row.item.volume},
                 {"mode", row.item.mode},
                 {"path", row.item.path},
                 {"state", row.IsPlaying() ? "playing" : "waiting"},
                 {"measured", row.measured ? Json(row.measured->count()) : Json(nullptr)}});
        }
        Json notices = Json::array();
        for (const BroadcasterNotice& notice : snapshot.notices) {
            notices.push_back({{"topic", NoticeTopicName(notice.topic)}, {"text", notice.text}});
        }
        Json page = nullptr;
        Json clock = nullptr;
        if (const auto& health = status.health) {
            page = {{"state", PageState(*health)},
                    {"url", health->pageUrl.empty() ? Json(nullptr) : Json(health->pageUrl)},
                    {"problem", health->pageProblem}};
            clock = {{"sync", ClockSyncName(health->clock.sync)},
                     {"text", ClockHealthText(health->clock)}};
        }
        PrintJsonLine(context, {{"status", state.statusText},
                                {"mode", ModeName(state.mode)},
                                {"broadcast", !state.noBroadcastToday},
                                {"current_row", RowNumber(state.watchedRow)},
                                {"next_row", RowNumber(next)},
                                {"next_start", nextRow ? Json(nextRow->item.start) : Json(nullptr)},
                                {"generation", snapshot.generation},
                                {"page", page},
                                {"clock", clock},
                                {"notices", notices},
                                {"rows", rows}});
        return;
    }
    std::ostream& out = *context.out;
    out << PrintableText(state.statusText) << '\n'
        << "mode " << (state.mode == ControlMode::kManual ? "手动 (manual)" : "自动 (auto)")
        << '\n';
    out << "current ";
    if (state.watchedRow >= 0 && state.watchedRow < static_cast<int>(snapshot.rows.size())) {
        out << state.watchedRow + 1 << ' '
            << PrintableText(snapshot.rows[static_cast<std::size_t>(state.watchedRow)].item.title);
    } else {
        out << '-';
    }
    out << "\nnext ";
    if (nextRow != nullptr) {
        out << next + 1 << ' ' << PrintableText(nextRow->item.start) << ' '
            << PrintableText(nextRow->item.title);
    } else {
        out << '-';
    }
    out << '\n';
    if (const auto& health = status.health) {
        out << "page " << PrintableText(PageText(*health)) << '\n'
            << "clock " << PrintableText(ClockHealthText(health->clock)) << " ("
            << ClockSyncName(health->clock.sync) << ")\n";
    }
    for (const BroadcasterNotice& notice : snapshot.notices) {
        out << "notice " << PrintableText(notice.text) << '\n';
    }
    int number = 0;
    for (const TodayRow& row : snapshot.rows) {
        out << ++number << '\t' << RowStateText(row.state) << '\t' << PrintableText(row.item.start)
            << '\t' << PrintableText(row.item.end) << '\t' << PrintableText(row.item.volume) << '\t'
            << PrintableText(row.item.mode) << '\t'
            << (row.measured ? std::to_string(row.measured->count()) + "s" : "-") << '\t'
            << PrintableText(row.item.title) << '\t' << PrintableText(row.item.path) << '\n';
    }
    out.flush();
}

int RunStatus(const CommandContext& context) {
    Broadcaster broadcaster(context);
    if (!broadcaster.Running()) {
        return kExitNoBroadcaster;
    }
    auto snapshot = broadcaster.Snapshot();
    if (!snapshot) {
        return kExitUsage;
    }
    PrintStatus(context, {std::move(*snapshot), SystemLocalClock().Now(), broadcaster.Health()});
    // With a network output on, its zones as the broadcaster knows them.
    if (const auto zones = broadcaster.Call("GetZones");
        zones && !zones->isEmpty() && !(*zones)[0].toString().isEmpty()) {
        PrintZones(context, FromQString((*zones)[0].toString()));
    }
    return kExitOk;
}

std::optional<std::string> BroadcasterZones(const CommandContext& context) {
    Broadcaster broadcaster(context);
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (bus == nullptr ||
        !bus->isServiceRegistered(ToQString(BroadcasterBusName(context.dataDirectory))).value()) {
        return std::nullopt;
    }
    const auto zones = broadcaster.Call("GetZones");
    if (!zones || zones->isEmpty()) {
        return std::nullopt;
    }
    return FromQString((*zones)[0].toString());
}

int RunLive(const CommandContext& context, LiveCommand command, int row) {
    Broadcaster broadcaster(context);
    if (!broadcaster.Running()) {
        return kExitNoBroadcaster;
    }
    switch (command) {
        case LiveCommand::kPlay: {
            const auto snapshot = broadcaster.Snapshot();
            if (!snapshot) {
                return kExitUsage;
            }
            const int rows = static_cast<int>(snapshot->rows.size());
            if (row < 1 || row > rows) {
                return UsageError(context, "no row " + std::to_string(row) + ": today's list has " +
                                               std::to_string(rows) + " rows, numbered from 1");
            }
            return broadcaster.Command(
                "Play", {row - 1, QVariant::fromValue<qulonglong>(snapshot->generation)});
        }
        case LiveCommand::kStop:
            return broadcaster.Command("Stop");
        case LiveCommand::kAutomatic:
            return broadcaster.Command("SetMode", {static_cast<int>(ControlMode::kAutomatic)});
        case LiveCommand::kManual:
            return broadcaster.Command("SetMode", {static_cast<int>(ControlMode::kManual)});
        case LiveCommand::kReload:
            return broadcaster.Command("Reload");
    }
    return kExitUsage;
}

}  // namespace chimeon::ctl
