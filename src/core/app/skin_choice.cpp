#include "core/app/skin_choice.h"

#include <algorithm>
#include <system_error>

#include "core/io/case_folding_lookup.h"
#include "core/text/ascii_case.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

bool HasSkinExtension(const fs::path& file) {
    return EqualsIgnoringCase(file.extension().string(), ".smf");
}

std::optional<fs::path> FindNamedSkin(std::string_view name, const std::vector<fs::path>& folders) {
    for (const fs::path& folder : folders) {
        auto resolved = ResolvePathIgnoringCase((folder / std::string(name)).string());
        if (resolved && IsUsableSkinFile(*resolved)) {
            return resolved;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> FirstSkinFound(const std::vector<fs::path>& folders) {
    for (const fs::path& folder : folders) {
        if (std::vector<fs::path> skins = SkinFilesIn(folder); !skins.empty()) {
            return skins.front();
        }
    }
    return std::nullopt;
}

SkinChoice Chosen(const fs::path& file) {
    return SkinChoice{file, file.filename().string(), std::nullopt};
}

}  // namespace

bool IsUsableSkinFile(const fs::path& file) {
    std::error_code error;
    // A size that cannot be read comes back as the largest number.
    return fs::is_regular_file(file, error) && fs::file_size(file, error) <= kMaxSkinFileBytes;
}

std::vector<fs::path> SkinFilesIn(const fs::path& folder) {
    std::vector<fs::path> skins;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (HasSkinExtension(it->path()) && IsUsableSkinFile(it->path())) {
            skins.push_back(it->path());
        }
    }
    std::sort(skins.begin(), skins.end());
    return skins;
}

std::vector<SkinEntry> ListSkins(const std::vector<fs::path>& skinFolders) {
    std::vector<SkinEntry> entries;
    for (const fs::path& folder : skinFolders) {
        for (fs::path& file : SkinFilesIn(folder)) {
            std::string title = file.stem().string();
            if (std::none_of(entries.begin(), entries.end(),
                             [&](const SkinEntry& entry) { return entry.title == title; })) {
                entries.push_back({std::move(title), std::move(file)});
            }
        }
    }
    return entries;
}

int SkinEntryInUse(const std::vector<SkinEntry>& entries, std::string_view skinFile) {
    const std::string_view prefix = skinFile.substr(0, skinFile.find('.'));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& title = entries[i].title;
        if (title.size() >= prefix.size() &&
            EqualsIgnoringCase(std::string_view(title).substr(0, prefix.size()), prefix)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

SkinChoice ChooseSkin(std::string_view skinSetting, const std::vector<fs::path>& skinFolders) {
    // A stored name may use Windows separators ("sub\\x.smf").
    std::string name(skinSetting);
    std::replace(name.begin(), name.end(), '\\', '/');
    // A name that climbs out of the skin folder is not a skin: it would load any file as the look.
    const fs::path named(name);
    bool climbsOut =
        named.is_absolute() ||
        std::any_of(named.begin(), named.end(), [](const fs::path& part) { return part == ".."; });
    if (!name.empty()) {
        auto file = climbsOut ? std::nullopt : FindNamedSkin(name, skinFolders);
        if (file) {
            return SkinChoice{*file, std::string(skinSetting), std::nullopt};
        }
    } else if (auto file = FindNamedSkin(kDefaultSkinFile, skinFolders)) {
        return SkinChoice{*file, std::string(kDefaultSkinFile), std::nullopt};
    }
    if (auto file = FirstSkinFound(skinFolders)) {
        return Chosen(*file);
    }
    SkinChoice none;
    none.message =
        std::string(skinSetting.empty() ? kNoSkinMessageWhenEmpty : kNoSkinMessageWhenSet);
    return none;
}

}  // namespace chimeon
