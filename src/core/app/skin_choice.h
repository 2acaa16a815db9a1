#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

inline constexpr std::string_view kDefaultSkinFile = "corona.smf";
inline constexpr std::string_view kNoSkinMessageWhenSet = "Can not find any skin";
inline constexpr std::string_view kNoSkinMessageWhenEmpty = "Can not find any skin!";

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
// The "Skin" setting itself is never rewritten here.
SkinChoice ChooseSkin(std::string_view skinSetting,
                      const std::vector<std::filesystem::path>& skinFolders);

}  // namespace chimeon
