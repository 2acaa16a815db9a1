#include "ctl/table_json.h"

#include <algorithm>
#include <array>

namespace chimeon::ctl {
namespace {

constexpr std::array<const char*, 6> kRowKeys = {"title", "start", "end", "volume", "mode", "path"};

std::string* Field(ProgramItem& item, size_t index) {
    std::array<std::string*, 6> fields = {&item.title,  &item.start, &item.end,
                                          &item.volume, &item.mode,  &item.path};
    return fields[index];
}

}  // namespace

nlohmann::ordered_json TableToJson(TableId id, const ScheduleTable& table) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (ProgramItem item : table) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (size_t i = 0; i < kRowKeys.size(); ++i) {
            row[kRowKeys[i]] = *Field(item, i);
        }
        rows.push_back(std::move(row));
    }
    return {{"table", std::string(TableName(id))},
            {"file", TableFileName(id)},
            {"rows", std::move(rows)}};
}

std::optional<ScheduleTable> TableFromJson(const nlohmann::ordered_json& document,
                                           std::string* error) {
    auto fail = [&](std::string message) -> std::optional<ScheduleTable> {
        *error = std::move(message);
        return std::nullopt;
    };
    if (!document.is_object()) {
        return fail("the table must be a JSON object with \"rows\"");
    }
    for (const auto& [key, value] : document.items()) {
        if (key != "table" && key != "file" && key != "rows") {
            return fail("unknown key \"" + key + "\" in the table");
        }
        if (key != "rows" && !value.is_string()) {
            return fail("\"" + key + "\" must be text");
        }
    }
    if (!document.contains("rows") || !document["rows"].is_array()) {
        return fail("\"rows\" must be a list of rows");
    }
    ScheduleTable table;
    size_t number = 0;
    for (const auto& row : document["rows"]) {
        ++number;
        std::string where = "row " + std::to_string(number) + ": ";
        if (!row.is_object()) {
            return fail(where + "must be an object");
        }
        for (const auto& [key, value] : row.items()) {
            if (std::find_if(kRowKeys.begin(), kRowKeys.end(),
                             [&](const char* k) { return key == k; }) == kRowKeys.end()) {
                return fail(where + "unknown key \"" + key + "\"");
            }
        }
        ProgramItem item;
        for (size_t i = 0; i < kRowKeys.size(); ++i) {
            if (!row.contains(kRowKeys[i])) {
                return fail(where + "\"" + kRowKeys[i] + "\" is missing");
            }
            if (!row[kRowKeys[i]].is_string()) {
                return fail(where + "\"" + kRowKeys[i] + "\" must be text");
            }
            *Field(item, i) = row[kRowKeys[i]].get<std::string>();
            // A line break would split the stored item; a NUL would cut the path where it is
            // used. No control character belongs in a field.
            const std::string& text = *Field(item, i);
            if (std::any_of(text.begin(), text.end(), [](char c) {
                    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
                })) {
                return fail(where + "\"" + kRowKeys[i] +
                            "\" must be one line of text, without control characters");
            }
        }
        table.push_back(std::move(item));
    }
    return table;
}

std::optional<TableId> TableFromArgument(const std::string& argument) {
    if (auto id = TableIdFromName(argument)) {
        return id;
    }
    return TableIdFromFileName(argument);
}

}  // namespace chimeon::ctl
