// Any file loads as a table; a table that was loaded saves and loads to the same number of items.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/schedule/schedule_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    chimeon::ScheduleTable table = chimeon::ParseScheduleTable(bytes);
    if (table.size() > size) {
        std::abort();  // every item takes at least one byte of the file
    }
    chimeon::ScheduleTable again =
        chimeon::ParseScheduleTable(chimeon::SerializeScheduleTable(table));
    bool hasLineBreak = false;
    for (const auto& item : table) {
        hasLineBreak |=
            (item.title + item.start + item.end + item.volume + item.path).find_first_of("\r\n") !=
            std::string::npos;
    }
    if (!hasLineBreak && again.size() != table.size()) {
        std::abort();
    }
    return 0;
}
