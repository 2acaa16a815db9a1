#include "core/app/ini_settings_store.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "core/io/atomic_write.h"
#include "core/io/case_folding_lookup.h"
#include "core/io/stored_lines.h"
#include "core/text/ascii_case.h"
#include "core/text/gbk_codec.h"
#include "core/text/leading_number.h"

namespace chimeon {
namespace {

constexpr mode_t kOwnerOnly = 0600;

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A line of the profile and how it ended ("\r\n", "\n" or nothing at the end of the file).
struct ProfileLine {
    std::string_view text;
    std::string_view ending;
};

std::vector<ProfileLine> SplitLines(std::string_view bytes) {
    std::vector<ProfileLine> lines;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back({bytes, {}});
            break;
        }
        size_t textEnd = (end > 0 && bytes[end - 1] == '\r') ? end - 1 : end;
        lines.push_back({bytes.substr(0, textEnd), bytes.substr(textEnd, end + 1 - textEnd)});
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

// The section a header line opens, or nothing when the line is not a header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

// The key of an entry line, or nothing for comments and lines without "=".
std::optional<std::string_view> EntryKey(std::string_view line) {
    std::string_view trimmed = Trim(line);
    size_t equals = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(trimmed.substr(0, equals));
}

std::string_view EntryValue(std::string_view line) {
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

struct Located {
    std::optional<size_t> sectionHeader;  // first header of the section
    std::optional<size_t> keyLine;        // first entry of the key inside that section
    std::optional<size_t> lastEntry;      // last entry line inside that section
};

Located Locate(const std::vector<ProfileLine>& lines, std::string_view section,
               std::string_view key) {
    Located found;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].text)) {
            if (found.sectionHeader) {
                break;  // the first section of the name is the one read and written
            }
            inSection = EqualsIgnoringCase(*name, section);
            if (inSection) {
                found.sectionHeader = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (auto entryKey = EntryKey(lines[i].text)) {
            found.lastEntry = i;
            if (!found.keyLine && EqualsIgnoringCase(*entryKey, key)) {
                found.keyLine = i;
            }
        }
    }
    return found;
}

}  // namespace

namespace profile_text {

std::optional<std::string> Find(std::string_view bytes, std::string_view section,
                                std::string_view key) {
    auto lines = SplitLines(bytes);
    Located found = Locate(lines, section, key);
    if (!found.keyLine) {
        return std::nullopt;
    }
    return std::string(EntryValue(lines[*found.keyLine].text));
}

std::string Write(std::string_view bytes, std::string_view section, std::string_view key,
                  std::string_view value) {
    auto lines = SplitLines(bytes);
    Located found = Locate(lines, section, key);
    std::string out;
    out.reserve(bytes.size() + key.size() + value.size() + section.size() + 8);

    if (found.keyLine) {
        // The key keeps the spelling it has in the file.
        std::string_view existingKey = *EntryKey(lines[*found.keyLine].text);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == *found.keyLine) {
                out.append(existingKey).append("=").append(value);
                out.append(lines[i].ending.empty() ? std::string_view("\r\n") : lines[i].ending);
            } else {
                out.append(lines[i].text).append(lines[i].ending);
            }
        }
        return out;
    }

    std::optional<size_t> insertAfter = found.lastEntry ? found.lastEntry : found.sectionHeader;
    for (size_t i = 0; i < lines.size(); ++i) {
        out.append(lines[i].text);
        bool somethingFollows = insertAfter == i || (!insertAfter && i + 1 == lines.size());
        out.append(lines[i].ending.empty() && somethingFollows ? std::string_view("\r\n")
                                                               : lines[i].ending);
        if (insertAfter == i) {
            out.append(key).append("=").append(value).append("\r\n");
        }
    }
    if (!insertAfter) {
        out.append("[").append(section).append("]\r\n");
        out.append(key).append("=").append(value).append("\r\n");
    }
    return out;
}

int ParseLeadingInt(std::string_view text) {
    return static_cast<int>(std::clamp<std::int64_t>(LeadingNumber(text), INT_MIN, INT_MAX));
}

}  // namespace profile_text

IniSettingsStore::IniSettingsStore(std::filesystem::path file, std::string section)
    : file_(std::move(file)), section_(std::move(section)) {}

std::string IniSettingsStore::GetString(std::string_view key, std::string_view defaultValue) const {
    auto bytes = ReadStoredFile(file_);
    if (!bytes) {
        return std::string(defaultValue);
    }
    auto value = profile_text::Find(*bytes, section_, key);
    return value ? DecodeGbk(*value) : std::string(defaultValue);
}

int IniSettingsStore::GetInt(std::string_view key, int defaultValue) const {
    auto bytes = ReadStoredFile(file_);
    auto value = bytes ? profile_text::Find(*bytes, section_, key) : std::nullopt;
    if (!value || value->empty()) {
        return defaultValue;
    }
    return profile_text::ParseLeadingInt(*value);
}

bool IniSettingsStore::WriteInt(std::string_view key, int value) {
    return WriteString(key, std::to_string(value));
}

bool IniSettingsStore::WriteString(std::string_view key, std::string_view value) {
    // A line break or "=" in a key, or a line break in a value, would write lines of its own.
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
        HasLineBreak(value)) {
        return false;
    }
    StoredFileRead existing = ReadStoredFileOrProblem(file_);
    if (existing.state == StoredFileRead::State::kUnreadable) {
        return false;  // there but unreadable: rewriting it would lose every other setting
    }
    std::string updated =
        profile_text::Write(existing.bytes, section_, EncodeGbk(key), EncodeGbk(value));
    return WriteFileAtomically(file_, updated, kOwnerOnly, /*forceMode=*/true);
}

}  // namespace chimeon
