#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

inline constexpr std::string_view kDefaultSkinFile = "corona.smf";
inline constexpr std::string_view kNoSkinMessageWhenSet = "Can not find any skin";
inline constexpr std::string_view kNoSkinMessageWhenEmpty = "Can not find any skin!";
// Far beyond any real style sheet; a larger file is not taken for a skin (read whole, a file
// of gigabytes would end the program at every start).
inline constexpr std::uintmax_t kMaxSkinFileBytes = 1024 * 1024;

// A regular file no larger than kMaxSkinFileBytes.
bool IsUsableSkinFile(const std::filesystem::path& file);

// The skin to load at start-up, or the message to show before the program ends.
struct SkinChoice {
    std::filesystem::path file;          // the file to load
    std::string skinFile;                // its name, for the state ("corona.smf")
    std::optional<std::string> message;  // set when no skin exists: show it, then end
};

// Chooses from the "Skin" setting and the ".smf" files in the skin folders (the data directory's
// "skin" first, then the installed one):
// - the named file when "Skin" is set and it exists;
// - "corona.smf" when "Skin" is empty and it exists;
// - otherwise the first ".smf" found (in name order), or the message of the branch.
// Only usable skin files count: a named skin that is too large is passed over like a missing one.
// The "Skin" setting itself is never rewritten here.
SkinChoice ChooseSkin(std::string_view skinSetting,
                      const std::vector<std::filesystem::path>& skinFolders);

// The usable ".smf" files of one folder (extension in any letter case), in name order.
std::vector<std::filesystem::path> SkinFilesIn(const std::filesystem::path& folder);

// One entry of the settings page's skin list: the file's title (name without extension) and
// the file.
struct SkinEntry {
    std::string title;
    std::filesystem::path file;
};
// The skins of all folders, folder by folder; a title listed already (the data directory's own
// copy) hides the same title of a later folder.
std::vector<SkinEntry> ListSkins(const std::vector<std::filesystem::path>& skinFolders);
// The entry that shows the skin in use: the first whose title begins with `skinFile` cut at its
// first "." (letters compared without regard to case); -1 when none does.
int SkinEntryInUse(const std::vector<SkinEntry>& entries, std::string_view skinFile);

}  // namespace chimeon
