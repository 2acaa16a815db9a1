#include "core/schedule/item_editor_form.h"

#include <algorithm>
#include <cstdint>

#include "core/schedule/media_kind.h"
#include "core/text/leading_number.h"

namespace chimeon {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A line break cannot be kept inside a field: the stored table holds four lines per item.
std::string WithoutLineBreaks(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

std::string FormatTimeOfDay(TimeOfDay time) {
    return std::to_string(time.hour) + ":" + std::to_string(time.minute) + ":" +
           std::to_string(time.second);
}

TimeOfDay ParseTimeOfDay(std::string_view text) {
    std::string_view hours = text;
    std::string_view minutes;
    std::string_view seconds;
    if (auto first = text.find(':'); first != std::string_view::npos) {
        hours = text.substr(0, first);
        std::string_view rest = text.substr(first + 1);
        minutes = rest;
        if (auto second = rest.find(':'); second != std::string_view::npos) {
            minutes = rest.substr(0, second);
            seconds = rest.substr(second + 1);
        }
    }
    constexpr std::int64_t kDay = 24 * 3600;
    std::int64_t total =
        LeadingNumber(hours) * 3600 + LeadingNumber(minutes) * 60 + LeadingNumber(seconds);
    total = ((total % kDay) + kDay) % kDay;
    return TimeOfDay{static_cast<int>(total / 3600), static_cast<int>(total / 60 % 60),
                     static_cast<int>(total % 60)};
}

VolumeParse ParseVolumeText(std::string_view text) {
    // Blanks around the number are allowed, a sign too; anything else makes it no whole number.
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    std::string_view number = text.substr(begin, end - begin);
    bool negative = false;
    if (!number.empty() && (number[0] == '+' || number[0] == '-')) {
        negative = number[0] == '-';
        number.remove_prefix(1);
    }
    if (number.empty() || !std::all_of(number.begin(), number.end(), IsDigit)) {
        return {VolumeCheck::kNotInteger, 0};
    }
    std::uint64_t value = 0;
    for (char c : number) {
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 1000);
    }
    if ((negative && value != 0) || value > 100) {
        return {VolumeCheck::kOutOfRange, 0};
    }
    return {VolumeCheck::kOk, static_cast<unsigned>(value)};
}

std::string WithTrailingSeparator(std::string_view folder) {
    std::string path(folder);
    if (path.empty() || path.back() == '\\' || path.back() == '/') {
        return path;
    }
    bool windowsStyle = path.find('\\') != std::string::npos && path.find('/') == std::string::npos;
    path.push_back(windowsStyle ? '\\' : '/');
    return path;
}

ItemEditorFields FieldsFromItem(const ProgramItem& item) {
    ItemEditorFields fields;
    fields.title = item.title;
    if (!item.IsFolderItem()) {
        fields.source = SourceKind::kFile;
        fields.filePath = item.path;
        // The leading digits of the stored volume; 0 when it starts with none.
        std::string_view volume = item.volume;
        std::size_t begin = 0;
        while (begin < volume.size() && IsSpace(volume[begin])) {
            ++begin;
        }
        std::size_t end = begin;
        while (end < volume.size() && IsDigit(volume[end])) {
            ++end;
        }
        std::string digits(volume.substr(begin, end - begin));
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        fields.volumeText = digits.empty() ? "0" : digits;
    } else {
        fields.source = SourceKind::kFolder;
        fields.folderPath = item.path;
        fields.randomOrder = item.IsRandom();
    }
    if (!item.IsChained()) {
        fields.startAtTime = true;
        fields.startTime = ParseTimeOfDay(item.start);
    }
    if (!item.IsPlayOnce()) {
        fields.endAtTime = true;
        fields.endTime = ParseTimeOfDay(item.end);
    }
    return fields;
}

ItemEditorFields FieldsFromTodayRow(const ProgramItem& row) {
    ItemEditorFields fields = FieldsFromItem(row);
    if (fields.source == SourceKind::kFile) {
        fields.durationText = row.mode;
    }
    return fields;
}

FieldsCheck CheckFields(const ItemEditorFields& fields) {
    // A folder item ignores the volume box, which its layout disables: a bad leftover there could
    // not be corrected and must not keep the item from being saved.
    if (fields.source == SourceKind::kFile) {
        switch (ParseVolumeText(fields.volumeText).check) {
            case VolumeCheck::kNotInteger:
                return {false, kVolumeNotIntegerMessage, true};
            case VolumeCheck::kOutOfRange:
                return {false, kVolumeOutOfRangeMessage, true};
            case VolumeCheck::kOk:
                break;
        }
    }
    if (fields.title.empty()) {
        return {false, kNoTitleMessage, false};
    }
    if (fields.source == SourceKind::kFile && fields.filePath.empty()) {
        return {false, kNoFileMessage, false};
    }
    if (fields.source == SourceKind::kFolder && fields.folderPath.empty()) {
        return {false, kNoFolderMessage, false};
    }
    return {true, {}, false};
}

ProgramItem ItemFromFields(const ItemEditorFields& fields) {
    ProgramItem item;
    item.title = WithoutLineBreaks(fields.title);
    item.start =
        fields.startAtTime ? FormatTimeOfDay(fields.startTime) : std::string(kStartChained);
    item.end = fields.endAtTime ? FormatTimeOfDay(fields.endTime) : std::string(kEndPlayOnce);
    if (fields.source == SourceKind::kFolder) {
        // A folder typed without its final separator would read back as a file item and never
        // play; it is stored as the folder it names.
        item.path = WithoutLineBreaks(WithTrailingSeparator(fields.folderPath));
        item.mode = std::string(fields.randomOrder ? kModeRandom : kModeInOrder);
        item.volume = std::string(kDefaultVolume);
    } else {
        item.path = WithoutLineBreaks(LowerCaseAscii(fields.filePath));
        item.mode = WithoutLineBreaks(fields.durationText);
        VolumeParse volume = ParseVolumeText(fields.volumeText);
        item.volume = KeepsTypedVolume(item.path) && volume.check == VolumeCheck::kOk
                          ? std::to_string(volume.value)
                          : std::string(kDefaultVolume);
    }
    return item;
}

}  // namespace chimeon
