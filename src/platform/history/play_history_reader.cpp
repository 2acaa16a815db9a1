#include "platform/history/play_history_reader.h"

#include <cstdio>
#include <system_error>

namespace chimeon {
namespace {

namespace fs = std::filesystem;

// Opens the history for reading without making a file or taking a lock: while the program has
// it open (its "-wal" log and "-shm" index lie beside it) the log is read through them; otherwise
// the file alone is read as unchangeable, which needs nothing written, so a read-only folder or
// mount reads as well as the program's own.
int OpenForReading(const fs::path& file, sqlite3** db) {
    std::error_code error;
    const bool logInUse =
        fs::exists(file.string() + "-wal", error) && fs::exists(file.string() + "-shm", error);
    std::string uri = "file:";
    for (char c : file.string()) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    uri += logInUse ? "?mode=ro" : "?immutable=1";
    return sqlite3_open_v2(uri.c_str(), db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
}

}  // namespace

std::optional<std::vector<HistoryEvent>> ReadPlayHistory(const std::filesystem::path& file,
                                                         const std::string& since,
                                                         const std::string& until,
                                                         std::string* error) {
    std::error_code exists;
    if (!std::filesystem::exists(file, exists)) {
        return std::vector<HistoryEvent>{};
    }
    sqlite3* raw = nullptr;
    const int code = OpenForReading(file, &raw);
    history_db::DbPtr db(raw);
    history_db::DbResult result{code, ""};
    std::vector<HistoryEvent> events;
    if (code != SQLITE_OK) {
        result.message = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(code);
    } else {
        sqlite3_busy_timeout(raw, history_db::kBusyTimeoutMs);
        result = history_db::SelectEvents(raw, since, until, &events);
    }
    if (!result.ok()) {
        if (error != nullptr) {
            *error = result.message;
        }
        return std::nullopt;
    }
    return events;
}

}  // namespace chimeon
