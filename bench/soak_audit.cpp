// Compares a soak run's play history with the table it played: every row due by time in the
// stretch started exactly once, nothing started at a second nobody was due, every failure with
// its reason, as many ends as starts (scripts/soak.sh runs it after the program has ended).
//
//   soak_audit DATA_DIRECTORY TABLE_FILE YYYY-MM-DD FIRST_SECOND LAST_SECOND
//
// Prints what the history holds and each finding; exit status 0 when there is none, 1 when
// there are findings, 2 when the table or the history cannot be read.
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

#include "core/history/broadcast_audit.h"
#include "core/schedule/stored_table.h"
#include "platform/history/play_history_reader.h"

int main(int argc, char* argv[]) {
    using namespace chimeon;
    if (argc != 6) {
        std::cerr << "usage: soak_audit DATA_DIRECTORY TABLE_FILE DATE FIRST_SECOND LAST_SECOND\n";
        return 2;
    }
    const std::filesystem::path data = argv[1];
    const LoadedTable table = LoadStoredTableFile(data / argv[2]);
    if (table.missing || table.unreadable) {
        std::cerr << "soak_audit: cannot read " << argv[2] << ' ' << table.problem << '\n';
        return 2;
    }
    std::string error;
    const auto events = ReadPlayHistory(data / kHistoryFileName, argv[3], argv[3], &error);
    if (!events) {
        std::cerr << "soak_audit: cannot read the play history: " << error << '\n';
        return 2;
    }
    std::map<std::string, int> counts;
    for (const HistoryEvent& event : *events) {
        ++counts[std::string(HistoryEventKindName(event.kind)) + " " +
                 std::string(HistoryCauseName(event.cause))];
    }
    std::cout << "history of " << argv[3] << ":";
    for (const auto& [what, count] : counts) {
        std::cout << "  " << what << " " << count;
    }
    std::cout << '\n';
    const auto findings =
        AuditBroadcast({argv[3], std::atoi(argv[4]), std::atoi(argv[5])}, table.rows, *events);
    for (const std::string& finding : findings) {
        std::cout << "finding: " << finding << '\n';
    }
    std::cout << (findings.empty() ? "history matches the table" : "history does not match")
              << '\n';
    return findings.empty() ? 0 : 1;
}
