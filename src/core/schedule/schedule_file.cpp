#include "core/schedule/schedule_file.h"

#include <algorithm>

#include "core/io/atomic_write.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/stored_lines.h"
#include "core/text/gbk_codec.h"

namespace chimeon {
namespace {

constexpr std::string_view kVolumeSeparator = "  ";

ProgramItem ReadItem(StoredLineReader& lines) {
    ProgramItem item;
    item.title = DecodeGbk(lines.Next());
    item.start = DecodeGbk(lines.Next());

    std::string_view endAndVolume = lines.Next();
    size_t separator = endAndVolume.find(kVolumeSeparator);
    if (separator == std::string_view::npos) {
        item.end = DecodeGbk(endAndVolume);
        item.volume = std::string(kDefaultVolume);
    } else {
        item.end = DecodeGbk(endAndVolume.substr(0, separator));
        item.volume = DecodeGbk(endAndVolume.substr(separator + kVolumeSeparator.size()));
    }

    std::string_view markerAndPath = lines.Next();
    if (markerAndPath.size() >= 2) {
        char marker = markerAndPath.front();
        item.mode = std::string(marker == '1' ? kModeRandom : kModeInOrder);
        item.path =
            DecodeGbk(marker == '0' || marker == '1' ? markerAndPath.substr(1) : markerAndPath);
    } else {
        item.path = DecodeGbk(markerAndPath);
    }
    return item;
}

bool HasLineBreakInAnyField(const ProgramItem& item) {
    return HasLineBreak(item.title) || HasLineBreak(item.start) || HasLineBreak(item.end) ||
           HasLineBreak(item.volume) || HasLineBreak(item.path);
}

}  // namespace

ScheduleTable ParseScheduleTable(std::string_view bytes) {
    ScheduleTable table;
    StoredLineReader lines(bytes);
    while (!lines.AtEnd()) {
        table.push_back(ReadItem(lines));
    }
    return table;
}

std::string SerializeScheduleTable(const ScheduleTable& table) {
    std::string out;
    for (const ProgramItem& item : table) {
        AppendStoredLine(out, EncodeGbk(item.title));
        AppendStoredLine(out, EncodeGbk(item.start));
        AppendStoredLine(
            out, EncodeGbk(item.end) + std::string(kVolumeSeparator) + EncodeGbk(item.volume));
        AppendStoredLine(out, (item.IsRandom() ? "1" : "0") + EncodeGbk(item.path));
    }
    return out;
}

std::optional<ScheduleTable> LoadScheduleFile(const std::filesystem::path& path) {
    auto bytes = ReadStoredFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    return ParseScheduleTable(*bytes);
}

bool SaveScheduleFile(const std::filesystem::path& path, const ScheduleTable& table) {
    if (std::any_of(table.begin(), table.end(), HasLineBreakInAnyField)) {
        return false;
    }
    return WriteFileAtomically(path, SerializeScheduleTable(table));
}

}  // namespace chimeon
