#include "ctl/history_command.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <iomanip>
#include <ostream>

#include "core/history/play_history.h"
#include "ctl/json_output.h"
#include "platform/history/play_history_reader.h"

namespace chimeon::ctl {
namespace {

// Local date and time with milliseconds: "2026-12-07 08:00:00.004".
std::string LocalMoment(std::int64_t epochMs) {
    std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char withMs[48];
    std::snprintf(withMs, sizeof withMs, "%s.%03d", text, static_cast<int>(epochMs % 1000));
    return withMs;
}

nlohmann::ordered_json EventToJson(const HistoryEvent& event) {
    nlohmann::ordered_json json = {
        {"kind", HistoryEventKindName(event.kind)},
        {"date", event.date},
        {"scheduled", event.scheduledSecond},
        {"at", LocalMoment(event.atMs)},
        {"at_ms", event.atMs},
        {"lateness_ms", event.latenessMs ? nlohmann::ordered_json(*event.latenessMs)
                                         : nlohmann::ordered_json(nullptr)},
        {"table", event.table},
        // A system action's failure belongs to no row.
        {"row",
         event.row >= 0 ? nlohmann::ordered_json(event.row + 1) : nlohmann::ordered_json(nullptr)},
        {"title", event.title},
        {"path", event.path},
        {"cause", HistoryCauseName(event.cause)},
        {"reason", event.reason}};
    // A start measured where its sound left the player; null for one not (yet) measured.
    json["peak_db"] = event.level ? nlohmann::ordered_json(event.level->peakDb) : nullptr;
    json["rms_db"] = event.level ? nlohmann::ordered_json(event.level->rmsDb) : nullptr;
    json["silent"] = event.level ? nlohmann::ordered_json(event.level->silent) : nullptr;
    // What silenced it beyond its own sound (the master volume); null for none.
    json["silenced_by"] = event.level && event.level->output != OutputSilence::kNone
                              ? nlohmann::ordered_json(OutputSilenceName(event.level->output))
                              : nullptr;
    return json;
}

// The text with every run of control characters (the line breaks of GStreamer's messages, a
// tab in a title) made one space, so that each event stays on one line.
std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        if (!control) {
            line += c;
        } else if (line.empty() || line.back() != ' ') {
            line += ' ';
        }
    }
    return line;
}

void PrintEventText(std::ostream& out, const HistoryEvent& event) {
    out << LocalMoment(event.atMs) << "  " << HistoryEventKindName(event.kind) << "  "
        << HistoryCauseName(event.cause) << "  ";
    if (event.row >= 0) {
        out << OneLine(event.table) << " row " << event.row + 1 << "  ";
    }
    out << OneLine(event.title);
    if (!event.scheduledSecond.empty()) {
        out << "  due " << OneLine(event.scheduledSecond);
    }
    if (event.latenessMs) {
        out << "  late " << *event.latenessMs << " ms";
    }
    if (event.level) {
        out << "  level " << (event.level->silent ? "silent " : "");
        if (event.level->output != OutputSilence::kNone) {
            out << "(" << OutputSilenceText(event.level->output) << ") ";
        }
        out << LevelText(*event.level);
    }
    out << "  " << OneLine(event.path);
    if (!event.reason.empty()) {
        out << "  (" << OneLine(event.reason) << ")";
    }
    out << '\n';
}

}  // namespace

int RunHistory(const CommandContext& context, const std::optional<std::string>& since,
               const std::optional<std::string>& until) {
    for (const auto* date : {&since, &until}) {
        if (*date && !ParseIsoDate(**date)) {
            return UsageError(context, "\"" + OneLine(**date) + "\" is not a date (YYYY-MM-DD)");
        }
    }
    std::string error;
    auto events = ReadPlayHistory(context.dataDirectory / std::string(kHistoryFileName),
                                  since.value_or(""), until.value_or(""), &error);
    if (!events) {
        return UsageError(context, "cannot read the play history: " + error);
    }
    for (const HistoryEvent& event : *events) {
        if (context.json) {
            PrintJsonLine(context, EventToJson(event));
        } else {
            PrintEventText(*context.out, event);
        }
    }
    context.out->flush();
    return kExitOk;
}

}  // namespace chimeon::ctl
