#include "link/broadcaster_types.h"

#include <QDBusMetaType>
#include <array>
#include <mutex>

namespace chimeon {
namespace {

// In NoticeTopic's order; "broadcaster" is the window's own (it has lost the broadcaster).
constexpr std::array<std::string_view, kNoticeTopicCount> kTopicNames = {
    "broadcaster",  "audio-output", "silent-start", "clock",   "data-folder",
    "play-history", "recordings",   "tray",         "network", "alerts"};

template <typename Value>
QDBusArgument& WriteArray(QDBusArgument& argument, const std::vector<Value>& values) {
    argument.beginArray(QMetaType::fromType<Value>());
    for (const Value& value : values) {
        argument << value;
    }
    argument.endArray();
    return argument;
}

template <typename Value>
const QDBusArgument& ReadArray(const QDBusArgument& argument, std::vector<Value>& values) {
    values.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        Value value;
        argument >> value;
        values.push_back(std::move(value));
    }
    argument.endArray();
    return argument;
}

std::string ReadString(const QDBusArgument& argument) {
    QString text;
    argument >> text;
    return FromQString(text);
}

}  // namespace

std::string_view NoticeTopicName(NoticeTopic topic) {
    return kTopicNames[static_cast<std::size_t>(topic)];
}

std::optional<NoticeTopic> NoticeTopicFromName(std::string_view name) {
    for (std::size_t i = 0; i < kTopicNames.size(); ++i) {
        if (kTopicNames[i] == name) {
            return static_cast<NoticeTopic>(i);
        }
    }
    return std::nullopt;
}

void RegisterBroadcasterTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<ProgramItem>();
        qDBusRegisterMetaType<TodayRow>();
        qDBusRegisterMetaType<TodayRows>();
        qDBusRegisterMetaType<BroadcastState>();
        qDBusRegisterMetaType<BroadcasterNotice>();
        qDBusRegisterMetaType<BroadcasterNotices>();
        // The bus finds the types of signals and slots by the names they are declared with.
        qRegisterMetaType<TodayRows>("chimeon::TodayRows");
        qRegisterMetaType<BroadcasterNotices>("chimeon::BroadcasterNotices");
    });
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) {
    return text.toStdString();
}

QDBusArgument& operator<<(QDBusArgument& argument, const ProgramItem& item) {
    argument.beginStructure();
    argument << ToQString(item.title) << ToQString(item.start) << ToQString(item.end)
             << ToQString(item.volume) << ToQString(item.mode) << ToQString(item.path);
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ProgramItem& item) {
    argument.beginStructure();
    item.title = ReadString(argument);
    item.start = ReadString(argument);
    item.end = ReadString(argument);
    item.volume = ReadString(argument);
    item.mode = ReadString(argument);
    item.path = ReadString(argument);
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TodayRow& row) {
    argument.beginStructure();
    argument << row.item << static_cast<int>(row.state)
             << static_cast<int>(row.measured ? row.measured->count() : -1)
             << static_cast<qulonglong>(row.generation);
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TodayRow& row) {
    int state = 0;
    int measured = -1;
    qulonglong generation = 0;
    argument.beginStructure();
    argument >> row.item >> state >> measured >> generation;
    argument.endStructure();
    row.state = state == 1 ? RowState::kPlaying : RowState::kWaiting;
    row.measured = measured >= 0 ? std::optional(std::chrono::seconds(measured)) : std::nullopt;
    row.generation = generation;
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TodayRows& rows) {
    return WriteArray(argument, rows);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TodayRows& rows) {
    return ReadArray(argument, rows);
}

QDBusArgument& operator<<(QDBusArgument& argument, const BroadcastState& state) {
    argument.beginStructure();
    argument << ToQString(state.statusText) << static_cast<int>(state.mode)
             << state.noBroadcastToday << state.watchedRow;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcastState& state) {
    int mode = 0;
    argument.beginStructure();
    state.statusText = ReadString(argument);
    argument >> mode >> state.noBroadcastToday >> state.watchedRow;
    argument.endStructure();
    state.mode = mode == 1 ? ControlMode::kManual : ControlMode::kAutomatic;
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const BroadcasterNotice& notice) {
    argument.beginStructure();
    argument << ToQString(NoticeTopicName(notice.topic)) << ToQString(notice.text);
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcasterNotice& notice) {
    argument.beginStructure();
    const std::string topic = ReadString(argument);
    notice.text = ReadString(argument);
    argument.endStructure();
    const std::optional<NoticeTopic> known = NoticeTopicFromName(topic);
    notice.topic = known.value_or(NoticeTopic::kAudioOutput);
    if (!known) {
        notice.text.clear();  // a topic of a newer broadcaster: left out of the list
    }
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const BroadcasterNotices& notices) {
    return WriteArray(argument, notices);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BroadcasterNotices& notices) {
    ReadArray(argument, notices);
    std::erase_if(notices, [](const BroadcasterNotice& notice) { return notice.text.empty(); });
    return argument;
}

}  // namespace chimeon
