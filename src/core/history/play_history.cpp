#include "core/history/play_history.h"

#include <chrono>
#include <cstdio>
#include <iterator>

namespace chimeon {

namespace {

struct NamedCause {
    HistoryCause cause;
    std::string_view name;
};
constexpr NamedCause kCauseNames[] = {
    {StartCause::kTime, "time"},
    {StartCause::kChain, "chain"},
    {StartCause::kHand, "hand"},
    {EndCause::kPlayedThrough, "played"},
    {EndCause::kEndTimeReached, "end_time"},
    {EndCause::kStoppedByOperator, "stopped"},
    {EndCause::kChangeOfDay, "day_change"},
    {EndCause::kProgramExit, "exit"},
    {EndCause::kNotPlayed, "not_played"},
    {FailureCause::kFileMissing, "missing"},
    {FailureCause::kUnplayable, "unplayable"},
    {FailureCause::kNoAudioOutput, "no_audio_output"},
    {FailureCause::kPowerOff, "power_off"},
    {FailureCause::kAutostart, "autostart"},
    {FailureCause::kNetwork, "network"},
};

// The kind whose causes are the variant's alternative `index`.
constexpr HistoryEvent::Kind kKindOfCause[] = {HistoryEvent::Kind::kStart, HistoryEvent::Kind::kEnd,
                                               HistoryEvent::Kind::kFailure};
static_assert(std::size(kKindOfCause) == std::variant_size_v<HistoryCause>);

}  // namespace

std::string_view HistoryCauseName(const HistoryCause& cause) {
    for (const NamedCause& named : kCauseNames) {
        if (named.cause == cause) {
            return named.name;
        }
    }
    return "";
}

std::optional<HistoryCause> HistoryCauseFromName(HistoryEvent::Kind kind, std::string_view name) {
    for (const NamedCause& named : kCauseNames) {
        if (named.name == name && kKindOfCause[named.cause.index()] == kind) {
            return named.cause;
        }
    }
    return std::nullopt;
}

HistoryEvent SystemFailureEvent(const ClockReading& now, FailureCause cause,
                                std::string_view action, std::string_view reason) {
    HistoryEvent event;
    event.kind = HistoryEvent::Kind::kFailure;
    event.date = IsoDate(now.local.year, now.local.month, now.local.day);
    event.atMs = now.epochMs;
    event.title = std::string(action);
    event.cause = cause;
    event.reason = std::string(reason);
    return event;
}

std::string_view HistoryEventKindName(HistoryEvent::Kind kind) {
    switch (kind) {
        case HistoryEvent::Kind::kStart:
            return "start";
        case HistoryEvent::Kind::kEnd:
            return "end";
        case HistoryEvent::Kind::kFailure:
            return "failure";
    }
    return "";
}

std::optional<HistoryEvent::Kind> HistoryEventKindFromName(std::string_view name) {
    for (auto kind :
         {HistoryEvent::Kind::kStart, HistoryEvent::Kind::kEnd, HistoryEvent::Kind::kFailure}) {
        if (HistoryEventKindName(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

std::string IsoDate(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::optional<CivilDate> ParseIsoDate(std::string_view text) {
    auto digits = [&](size_t from, size_t count) -> std::optional<int> {
        int value = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    auto year = digits(0, 4);
    auto month = digits(5, 2);
    auto day = digits(8, 2);
    if (!year || !month || !day) {
        return std::nullopt;
    }
    std::chrono::year_month_day date{std::chrono::year{*year},
                                     std::chrono::month{static_cast<unsigned>(*month)},
                                     std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return CivilDate{*year, *month, *day};
}

}  // namespace chimeon
