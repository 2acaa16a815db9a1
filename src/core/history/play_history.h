#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/engine/sound_level.h"
#include "core/system/local_clock.h"

namespace chimeon {

// How a row came to play.
enum class StartCause { kTime, kChain, kHand };
// Why it stopped. kNotPlayed: none of its files could be opened (the failure says why), so it
// ended without a sound, whatever ended it.
enum class EndCause {
    kPlayedThrough,
    kEndTimeReached,
    kStoppedByOperator,
    kChangeOfDay,
    kProgramExit,
    kNotPlayed
};
// Why it could not play; or which system action failed (no row: the PC was not powered off, the
// autostart entry was not written). kNetwork: the row played, but not through the network output
// (the server away, a client offline or muted); the reason names the zone.
enum class FailureCause {
    kFileMissing,
    kUnplayable,
    kNoAudioOutput,
    kPowerOff,
    kAutostart,
    kNetwork
};

// Why an event happened: a start's, an end's or a failure's cause, by the event's kind.
using HistoryCause = std::variant<StartCause, EndCause, FailureCause>;

// The name a cause is stored and shown by. These texts are in every history database and in the
// output of `chimeonctl history`: never rename one.
//   starts "time", "chain", "hand"; ends "played", "end_time", "stopped", "day_change", "exit",
//   "not_played"; failures "missing", "unplayable", "no_audio_output", "power_off", "autostart",
//   "network"
std::string_view HistoryCauseName(const HistoryCause& cause);

// One event of the play history. Dates are "YYYY-MM-DD" (local), times of day "%d:%d:%d".
struct HistoryEvent {
    enum class Kind { kStart, kEnd, kFailure };
    Kind kind = Kind::kStart;
    std::string date;
    std::string scheduledSecond;  // the second the row was due (starts), else ""
    std::int64_t atMs = 0;  // epoch milliseconds: when sound was asked for / it ended / failed
    std::optional<std::int64_t> latenessMs;  // starts only: atMs after the scheduled second
    std::string table;                       // the table's name ("星期一")
    int row = -1;
    std::string title;
    std::string path;
    HistoryCause cause;  // of the event's kind
    std::string reason;  // failures: what went wrong, in words
    // Starts only: how loud its first seconds were where they left the player, once measured.
    std::optional<SoundLevel> level;

    bool operator==(const HistoryEvent&) const = default;
};

// The failure of a system action, dated and timed by `now`: no table, no row (-1); the title
// names the action in the operator's words ("每日定时关机"), the reason is the system's.
HistoryEvent SystemFailureEvent(const ClockReading& now, FailureCause cause,
                                std::string_view action, std::string_view reason);

// "start", "end", "failure"; and back (nothing for any other text).
std::string_view HistoryEventKindName(HistoryEvent::Kind kind);
std::optional<HistoryEvent::Kind> HistoryEventKindFromName(std::string_view name);
// The cause of an event of `kind` named `name`; nothing for a name that is no cause of that kind.
std::optional<HistoryCause> HistoryCauseFromName(HistoryEvent::Kind kind, std::string_view name);

// Where the broadcast clock reports what it played. Recording never blocks the clock for long
// and never fails it: a history that cannot be written is the history's problem alone.
class PlayHistory {
public:
    virtual ~PlayHistory() = default;
    virtual void Record(const HistoryEvent& event) = 0;
    // The level of a start recorded before (the same event as given to Record), measured once its
    // first seconds had played.
    virtual void RecordLevel(const HistoryEvent& start, const SoundLevel& level) {
        (void)start;
        (void)level;
    }
    // Deletes the events of every date older than the `days` newest dates that hold events.
    // The clock is not asked: a clock set years ahead adds one date and so pushes out at most
    // one old date, never the whole history.
    virtual void KeepNewestDays(int days) = 0;
};

inline constexpr int kHistoryDaysKept = 400;

// "YYYY-MM-DD" of a civil date.
std::string IsoDate(int year, int month, int day);
// Parses "YYYY-MM-DD" into a valid calendar date; nothing for "2026-02-30" or other text.
struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
};
std::optional<CivilDate> ParseIsoDate(std::string_view text);

}  // namespace chimeon
