#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace chimeon {

// The names in `folder` equal to `name` ignoring ASCII letter case, in name order. A folder
// that cannot be listed (wholly or in part) sets `listError`, when given.
std::vector<std::string> NamesMatchingIgnoringCase(const std::filesystem::path& folder,
                                                   std::string_view name,
                                                   std::error_code* listError = nullptr);

// What reading a stored data file found. The one rule for the program and chimeonctl: a file is
// missing only when no entry of its name, in any letter case, is in its folder. A symbolic link
// to nothing (the share holding the tables not mounted), a file without read permission, a
// folder of that name, several names that differ only in case, or a folder that cannot be
// searched: the file is there but cannot be read.
struct StoredFileRead {
    enum class State { kRead, kMissing, kUnreadable };
    State state = State::kMissing;
    std::string bytes;    // kRead
    std::string problem;  // kUnreadable: why, in a few words ("是一个文件夹")
};

// Reads a stored data file: the exact name, or else the one file in the same folder whose name
// differs only in letter case (files copied from Windows arrive as "day1.dat" or "DAY1.DAT").
[[nodiscard]] StoredFileRead ReadStoredFileOrProblem(const std::filesystem::path& path);

// The bytes of ReadStoredFileOrProblem, or nothing when the file is missing or unreadable.
[[nodiscard]] std::optional<std::string> ReadStoredFile(const std::filesystem::path& path);

// Resolves a stored path ("\" or "/" separators) to an existing file or folder: the exact path
// when it exists, otherwise one component at a time ignoring letter case (the first match in name
// order when several differ only in case). Nothing when some component cannot be found.
std::optional<std::filesystem::path> ResolvePathIgnoringCase(std::string_view storedPath);

}  // namespace chimeon
