#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/settings_store.h"

namespace chimeon {

// Settings kept in a Windows profile file (GBK text, CR LF). Lines, keys, comments and sections
// that a write does not touch are kept byte for byte. Every write rewrites the file atomically
// and leaves it readable by its owner only (it holds the enciphered password).
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(std::filesystem::path file, std::string section = "Settings");

    int GetInt(std::string_view key, int defaultValue) const override;
    std::string GetString(std::string_view key, std::string_view defaultValue) const override;
    [[nodiscard]] bool WriteInt(std::string_view key, int value) override;
    [[nodiscard]] bool WriteString(std::string_view key, std::string_view value) override;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    std::string section_;
};

// The profile text, for the store above and its tests. All text is the file's own bytes (GBK).
namespace profile_text {
// The value of the first line with this key in the first section of this name, trimmed and with
// one pair of enclosing quotes removed; nothing when there is no such line.
std::optional<std::string> Find(std::string_view bytes, std::string_view section,
                                std::string_view key);
// The text with the value written: the first line of the key rewritten in place, else a line
// appended after the section's last entry, else a new section at the end.
std::string Write(std::string_view bytes, std::string_view section, std::string_view key,
                  std::string_view value);
// The decimal integer at the start of the text (sign allowed), as the profile functions read it;
// 0 when there is none.
int ParseLeadingInt(std::string_view text);
}  // namespace profile_text

}  // namespace chimeon
