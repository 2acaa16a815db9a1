#include "ctl/table_transfer_command.h"

#include <fstream>
#include <iostream>
#include <iterator>

#include "core/admin/file_system_inspector.h"
#include "core/io/file_io.h"
#include "core/schedule/schedule_file.h"
#include "ctl/json_output.h"
#include "ctl/table_json.h"

namespace chimeon::ctl {
namespace {

std::optional<ScheduleTable> LoadStoredTable(const CommandContext& context, TableId id,
                                             std::string* error) {
    std::filesystem::path file = context.dataDirectory / TableFileName(id);
    if (auto table = LoadScheduleFile(file)) {
        return table;
    }
    std::error_code exists;
    if (std::filesystem::exists(file, exists)) {
        *error = "cannot read " + file.string();
        return std::nullopt;
    }
    return ScheduleTable{};  // a table that was never saved is empty
}

}  // namespace

int RunExport(const CommandContext& context, const std::string& tableArgument) {
    auto id = TableFromArgument(tableArgument);
    if (!id) {
        return UsageError(context, "unknown table \"" + tableArgument +
                                       "\": give its name (星期一, 模板1) or its file (Day1.dat)");
    }
    std::string error;
    auto table = LoadStoredTable(context, *id, &error);
    if (!table) {
        return UsageError(context, error);
    }
    PrintJsonLine(context, TableToJson(*id, *table));
    return kExitOk;
}

int RunImport(const CommandContext& context, const std::string& tableArgument,
              const std::string& file, const ImportOptions& options) {
    (void)options;
    auto id = TableFromArgument(tableArgument);
    if (!id) {
        return UsageError(context, "unknown table \"" + tableArgument +
                                       "\": give its name (星期一, 模板1) or its file (Day1.dat)");
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
    FileSystemInspector media;
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
