#include "ctl/table_transfer_command.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>

#include "core/admin/file_system_inspector.h"
#include "core/app/app_state.h"
#include "core/app/ini_settings_store.h"
#include "core/app/program_directory.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/file_descriptor.h"
#include "core/schedule/schedule_file.h"
#include "core/schedule/stored_table.h"
#include "core/system/login_session.h"
#include "ctl/json_output.h"
#include "ctl/table_json.h"
#include "platform/engine/gst_stream_probe.h"

namespace chimeon::ctl {
namespace {

// Reads one line from the terminal without showing it; nothing when there is no terminal.
std::optional<std::string> ReadPasswordFromTerminal() {
    int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return std::nullopt;
    }
    (void)!::write(tty, "Password: ", 10);
    termios saved{};
    bool quiet = ::tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios hidden = saved;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &hidden);
    }
    std::string line;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    if (quiet) {
        ::tcsetattr(tty, TCSAFLUSH, &saved);
    }
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

// The first line of standard input, without its line end.
std::string ReadFirstLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

bool EditAllowed(const CommandContext& context, const ImportOptions& options) {
    // Settings that cannot be read may hold a password in use: no reading them as "none".
    const std::filesystem::path file = context.dataDirectory / "setup.ini";
    StoredFileRead stored = ReadStoredFileOrProblem(file);
    if (stored.state == StoredFileRead::State::kUnreadable) {
        UsageError(context, "cannot read " + file.string() + " (" + stored.problem +
                                "), which says whether a login password is in use; "
                                "nothing imported");
        return false;
    }
    IniSettingsStore settings(file);
    AppState state;
    LoadStartupSettings(settings, state);
    if (state.IsEditAllowed()) {
        return true;
    }
    std::optional<std::string> password;
    if (options.passwordFromStdin) {
        password = ReadFirstLine(std::cin);
    } else {
        password = ReadPasswordFromTerminal();
    }
    if (!password) {
        UsageError(context,
                   "a login password is in use: give it on a terminal or with --password-stdin");
        return false;
    }
    LoginSession session(state, settings);
    session.Login(*password);
    if (!state.loggedIn) {
        UsageError(context, "wrong password; nothing imported");
        return false;
    }
    return true;
}

int RunExport(const CommandContext& context, const std::string& tableArgument) {
    auto id = TableFromArgument(tableArgument);
    if (!id) {
        return UsageError(context, "unknown table \"" + tableArgument +
                                       "\": give its name (星期一, 模板1) or its file (Day1.dat)");
    }
    LoadedTable table = LoadStoredTable(context.dataDirectory, *id);
    if (table.unreadable) {
        return UsageError(context, "cannot read " +
                                       (context.dataDirectory / TableFileName(*id)).string() +
                                       " (" + table.problem + ")");
    }
    PrintJsonLine(context, TableToJson(*id, table.rows));  // a table never saved is empty
    return kExitOk;
}

int RunImport(const CommandContext& context, const std::string& tableArgument,
              const std::string& file, const ImportOptions& options) {
    auto id = TableFromArgument(tableArgument);
    if (!id) {
        return UsageError(context, "unknown table \"" + tableArgument +
                                       "\": give its name (星期一, 模板1) or its file (Day1.dat)");
    }
    if (!EditAllowed(context, options)) {
        return kExitUsage;
    }
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        auto bytes = ReadFileBytes(file);
        if (!bytes) {
            return UsageError(context, "cannot read " + file);
        }
        text = std::move(*bytes);
    }
    nlohmann::ordered_json document =
        nlohmann::ordered_json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        return UsageError(context, file + " is not valid JSON");
    }
    std::string error;
    auto table = TableFromJson(document, &error);
    if (!table) {
        return UsageError(context, file + ": " + error);
    }
    // The same findings as `check`: a table that would leave a bell silent is not taken.
    GstDiscovererStreamProbe streams;
    FileSystemInspector media(context.dataDirectory, &streams);
    std::vector<Finding> findings = CheckTable(TableFileName(*id), *table, media);
    if (!findings.empty()) {
        for (const Finding& finding : findings) {
            *context.err << "chimeonctl: " << finding.file << ':' << finding.row << ": "
                         << finding.message << '\n';
        }
        *context.err << "chimeonctl: nothing imported; " << TableFileName(*id) << " is unchanged"
                     << std::endl;
        return kExitFindings;
    }
    // The one command that writes the data directory clears what interrupted saves left there.
    RemoveStaleSaveTemporaries(context.dataDirectory);
    std::filesystem::path target = context.dataDirectory / TableFileName(*id);
    if (!SaveScheduleFile(target, *table)) {
        return UsageError(context,
                          "cannot write " + target.string() + "; the old table is unchanged");
    }
    *context.err << "chimeonctl: saved " << TableName(*id) << " (" << TableFileName(*id) << "), "
                 << table->size() << " rows" << std::endl;
    return kExitOk;
}

}  // namespace chimeon::ctl
