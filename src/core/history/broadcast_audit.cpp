#include "core/history/broadcast_audit.h"

#include <cstdint>
#include <map>

#include "core/engine/clock_text.h"

namespace chimeon {
namespace {

bool IsTimeStart(const std::string& start) {
    return TimeText(static_cast<int>(StoredTimeSeconds(start))) == start;
}

std::string RowName(int row, const std::string& title) {
    return "row " + std::to_string(row + 1) + " (" + title + ")";
}

}  // namespace

std::vector<std::string> AuditBroadcast(const BroadcastAudit& audit, const ScheduleTable& table,
                                        const std::vector<HistoryEvent>& events) {
    // The row each second of the stretch starts (the first one with that start text), in the
    // order of the day.
    std::map<std::int64_t, int> dueRow;
    for (int row = 0; row < static_cast<int>(table.size()); ++row) {
        const std::string& start = table[row].start;
        if (!IsTimeStart(start)) {
            continue;
        }
        const auto second = StoredTimeSeconds(start);
        if (second >= audit.firstSecond && second <= audit.lastSecond) {
            dueRow.emplace(second, row);
        }
    }

    std::map<std::string, int> startsAt;
    int starts = 0;
    int ends = 0;
    std::vector<std::string> findings;
    for (const HistoryEvent& event : events) {
        if (event.date != audit.date) {
            continue;
        }
        switch (event.kind) {
            case HistoryEvent::Kind::kStart:
                ++starts;
                if (event.cause == HistoryCause(StartCause::kTime)) {
                    ++startsAt[event.scheduledSecond];
                    const std::int64_t second = StoredTimeSeconds(event.scheduledSecond);
                    if (!dueRow.contains(second) ||
                        table[dueRow[second]].start != event.scheduledSecond) {
                        findings.push_back(RowName(event.row, event.title) + " started at " +
                                           event.scheduledSecond + ", when no row was due");
                    }
                }
                break;
            case HistoryEvent::Kind::kEnd:
                ++ends;
                break;
            case HistoryEvent::Kind::kFailure:
                if (event.reason.empty()) {
                    findings.push_back(RowName(event.row, event.title) + " failed (" +
                                       std::string(HistoryCauseName(event.cause)) +
                                       ") without a reason");
                }
                break;
        }
    }
    for (const auto& [second, row] : dueRow) {
        const std::string& start = table[row].start;
        const int count = startsAt.contains(start) ? startsAt[start] : 0;
        if (count != 1) {
            findings.push_back(
                RowName(row, table[row].title) + " due at " + start + ": " +
                (count == 0 ? "no start recorded" : "started " + std::to_string(count) + " times"));
        }
    }
    if (starts != ends) {
        findings.push_back(std::to_string(starts) + " starts but " + std::to_string(ends) +
                           " ends recorded");
    }
    return findings;
}

}  // namespace chimeon
