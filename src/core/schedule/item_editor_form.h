#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/schedule/program_item.h"
#include "core/text/ascii_case.h"

namespace chimeon {

// What the program item editor shows and edits, field by field, before it becomes a ProgramItem.
// The rules here are the editor's whole behaviour short of its widgets.

// Titles of the editor and its messages (UTF-8).
inline constexpr std::string_view kItemEditorTitle = "节目单编辑";
inline constexpr std::string_view kReminderTitle = "提醒";
inline constexpr std::string_view kNoTitleMessage = "还没有填写标题！";
inline constexpr std::string_view kNoFileMessage = "还没有选择要播放的文件！";
inline constexpr std::string_view kNoFolderMessage = "还没有选择目录！";
inline constexpr std::string_view kVolumeNotIntegerMessage = "请输入一个整数。";
inline constexpr std::string_view kVolumeOutOfRangeMessage = "请输入一个 0 到 100 之间的整数。";
// The play time shown until (and unless) the probe answers.
inline constexpr std::string_view kUnmeasuredDuration = "00:00";
// The filter of the file chooser, in the order offered (first one selected).
inline constexpr std::string_view kMediaFileFilters[] = {
    "All files(*.*)",   "MP3 Files(*.mp3)", "Midi Files(*.mid)",
    "Wav Files(*.wav)", "Avi Files(*.avi)", "MPEG Files(*.mpg)",
    "Dat Files(*.dat)", "Wmv Files(*.wmv)", "Asf Files(*.asf)",
};

// A time of day as the editor's pickers hold it.
struct TimeOfDay {
    int hour = 8;
    int minute = 0;
    int second = 0;
    bool operator==(const TimeOfDay&) const = default;
};

enum class SourceKind { kFile = 0, kFolder = 1 };

struct ItemEditorFields {
    std::string title;
    SourceKind source = SourceKind::kFile;
    std::string filePath;
    std::string durationText;  // the measured play time, shown and stored as `mode` of a file item
    std::string volumeText = "100";  // as typed: the box takes any characters, checked on OK
    std::string folderPath;
    bool randomOrder = false;
    bool startAtTime = false;  // false: right after the previous item ("续播")
    TimeOfDay startTime;
    bool endAtTime = false;  // false: play once ("播完终止")
    TimeOfDay endTime;

    bool operator==(const ItemEditorFields&) const = default;
};

// "%d:%d:%d" of hour, minute and second, without leading zeros.
std::string FormatTimeOfDay(TimeOfDay time);

// Reads a stored time text back: the hours before the first ":", the minutes up to the second
// ":", the seconds after it, each the leading decimal number of its part (0 when there is none).
// A hand-edited value out of range carries over the way a clock does (8:60:0 is 9:0:0) and
// wraps around midnight, so the picker always holds a real time of day.
TimeOfDay ParseTimeOfDay(std::string_view text);

// The volume box's text as a whole number from 0 to 100.
enum class VolumeCheck { kOk, kNotInteger, kOutOfRange };
struct VolumeParse {
    VolumeCheck check = VolumeCheck::kNotInteger;
    unsigned value = 0;
};
VolumeParse ParseVolumeText(std::string_view text);

// A folder path ending in a separator; an empty path stays empty. The separator appended is the
// one the path already uses ("\" for a path written the Windows way, "/" otherwise).
std::string WithTrailingSeparator(std::string_view folder);

// The editor's fields for an existing item of a stored table (its play time is measured anew).
ItemEditorFields FieldsFromItem(const ProgramItem& item);
// The editor's fields for a row of today's list: as above, and a file row keeps the play time
// its "时长" cell shows.
ItemEditorFields FieldsFromTodayRow(const ProgramItem& row);

// The outcome of OK: the first message that keeps the editor open, in the order they are checked
// (volume of a file item, title, file or folder path); nothing when the item may be made.
struct FieldsCheck {
    bool ok = false;
    std::string_view message;    // text of the message box
    bool volumeProblem = false;  // the message is about the volume box (focus it)
};
FieldsCheck CheckFields(const ItemEditorFields& fields);

// The item the fields stand for (after CheckFields passed): "续播"/"播完终止" or the time texts,
// the lower-cased file path with its duration text, the volume only for MP3 paths.
ProgramItem ItemFromFields(const ItemEditorFields& fields);

}  // namespace chimeon
