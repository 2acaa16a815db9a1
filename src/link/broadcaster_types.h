#pragma once

#include <QDBusArgument>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/broadcast_state.h"
#include "core/engine/operator_notices.h"
#include "core/engine/today_console.h"
#include "core/engine/today_list.h"
#include "core/schedule/program_item.h"
#include "core/system/clock_health.h"

namespace chimeon {

// The error the broadcaster answers a caller that is not its own user.
inline constexpr char kAccessDeniedError[] = "org.chimeon.Broadcaster1.Error.AccessDenied";

// What the broadcaster itself has to tell the operator (no audio output, history failures, ...).
struct BroadcasterNotice {
    NoticeTopic topic = NoticeTopic::kAudioOutput;
    std::string text;
    bool operator==(const BroadcasterNotice&) const = default;
};
using BroadcasterNotices = std::vector<BroadcasterNotice>;

// The topic's name on the bus ("audio-output", ...), and back (nothing for a name this program
// does not know, from a newer broadcaster, say).
std::string_view NoticeTopicName(NoticeTopic topic);
std::optional<NoticeTopic> NoticeTopicFromName(std::string_view name);

// The broadcaster's whole state at one moment: what GetSnapshot answers.
struct BroadcasterSnapshot {
    std::uint64_t generation = 0;
    TodayRows rows;
    BroadcastState state;
    BroadcasterNotices notices;
};

// What GetHealth answers: where the status page is served ("" when it is not, with the reason
// when it could not listen) and the clock's last known health.
struct BroadcasterHealth {
    std::string pageUrl;
    std::string pageProblem;
    ClockHealth clock;
};

// What a command came to: carried out with `answer` and its reminder (empty `error`), or not
// delivered at all (no broadcaster, refused access, no answer in time): `error` says why.
struct BroadcasterAnswer {
    ConsoleAnswer answer = ConsoleAnswer::kDone;
    std::string reminder;
    std::string error;
    bool Delivered() const { return error.empty(); }
};

// Makes the types above known to QtDBus; call before the first call or signal (repeats are
// harmless).
void RegisterBroadcasterTypes();

QString ToQString(std::string_view text);
std::string FromQString(const QString& text);

QDBusArgument& operator<<(QDBusArgument& argument, const ProgramItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, ProgramItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const TodayRow& row);
const QDBusArgument& operator>>(const QDBusArgument& argument, TodayRow& row);
QDBusArgument& operator<<(QDBusArgument& argument, const TodayRows& rows);
const QDBusArgument& operator>>(const QDBusArgument& argument, TodayRows& rows);
QDBusArgument& operator<<(QDBusArgument& argument, const BroadcastState& state);
const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcastState& state);
QDBusArgument& operator<<(QDBusArgument& argument, const BroadcasterNotice& notice);
const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcasterNotice& notice);
QDBusArgument& operator<<(QDBusArgument& argument, const BroadcasterNotices& notices);
const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcasterNotices& notices);

}  // namespace chimeon
