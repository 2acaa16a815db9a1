#pragma once

#include <string>
#include <vector>

#include "core/history/play_history.h"
#include "core/schedule/program_item.h"

namespace chimeon {

// What a day's play history should hold for a table: each row due by time in a stretch of the
// day started exactly once at its second (the first row of a start text; the rows below it with
// the same text never start), no start by time at a second nobody was due, every failure with its
// reason, and as many ends as starts. Rows whose second fell while another row played are
// skipped by the clock's rule, so a table audited this way keeps its rows apart.
struct BroadcastAudit {
    std::string date;     // "YYYY-MM-DD"
    int firstSecond = 0;  // the stretch of the day audited, both ends included
    int lastSecond = 0;
};

// The findings, one line each; none when the history is what the table asks for.
std::vector<std::string> AuditBroadcast(const BroadcastAudit& audit, const ScheduleTable& table,
                                        const std::vector<HistoryEvent>& events);

}  // namespace chimeon
