#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// Texts stored in and compared against the fields of a program item (UTF-8 here, GBK on disk).
inline constexpr std::string_view kStartChained = "续播";
inline constexpr std::string_view kEndPlayOnce = "播完终止";
inline constexpr std::string_view kModeRandom = "随机";
inline constexpr std::string_view kModeInOrder = "顺序";
inline constexpr std::string_view kDefaultVolume = "100";

// One scheduled entry. Every field is text kept exactly as entered: times stay "8:0:0" or
// whatever a hand-edited file holds, nothing is trimmed or checked.
struct ProgramItem {
    std::string title;
    std::string start;   // "续播" or a time of day "%d:%d:%d"
    std::string end;     // "播完终止" or a time of day
    std::string volume;  // "0" to "100", percent
    std::string mode;    // folder: "顺序" / "随机"; file: display text only
    std::string path;    // file, or folder ending in a separator

    bool operator==(const ProgramItem&) const = default;

    bool IsChained() const { return start == kStartChained; }
    bool IsPlayOnce() const { return end == kEndPlayOnce; }
    bool IsRandom() const { return mode == kModeRandom; }
    // A folder item names a folder: its path is empty or ends in "\" (or "/", typed on Linux).
    bool IsFolderItem() const { return path.empty() || path.back() == '\\' || path.back() == '/'; }
};

// Items in the operator's order; never sorted, chained items depend on it.
using ScheduleTable = std::vector<ProgramItem>;

}  // namespace chimeon
