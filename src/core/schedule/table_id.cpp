#include "core/schedule/table_id.h"

#include <array>

#include "core/text/ascii_case.h"

namespace chimeon {
namespace {

constexpr std::array<std::string_view, kTableCount> kNames = {
    "模板1",  "模板2",  "模板3",  "模板4",  "模板5",  "星期日",
    "星期一", "星期二", "星期三", "星期四", "星期五", "星期六",
};

constexpr int kFirstWeekday = static_cast<int>(TableId::kSunday);

}  // namespace

std::string_view TableName(TableId id) {
    return kNames.at(static_cast<size_t>(id));
}

std::string TableFileName(TableId id) {
    int index = static_cast<int>(id);
    if (index < kFirstWeekday) {
        return "Template" + std::to_string(index + 1) + ".dat";
    }
    return "Day" + std::to_string(index - kFirstWeekday) + ".dat";
}

TableId WeekdayTable(int weekday) {
    return static_cast<TableId>(kFirstWeekday + weekday);
}

std::optional<TableId> TableIdFromName(std::string_view name) {
    for (int i = 0; i < kTableCount; ++i) {
        if (kNames[static_cast<size_t>(i)] == name) {
            return static_cast<TableId>(i);
        }
    }
    return std::nullopt;
}

std::optional<TableId> TableIdFromFileName(std::string_view fileName) {
    for (int i = 0; i < kTableCount; ++i) {
        if (EqualsIgnoringCase(TableFileName(static_cast<TableId>(i)), fileName)) {
            return static_cast<TableId>(i);
        }
    }
    return std::nullopt;
}

}  // namespace chimeon
