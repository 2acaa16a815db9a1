#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace chimeon {

// A stored media path as the program opens it: an absolute one as it is; a relative one in the
// data directory (never the working directory, which depends on how the program was started).
std::string PathInDataDirectory(std::string_view storedPath,
                                const std::filesystem::path& dataDirectory);

// The existing file or folder a row's stored media path names: PathInDataDirectory, resolved
// ignoring letter case. What the broadcast clock opens and what the checks look at.
std::optional<std::filesystem::path> ResolveMediaPath(std::string_view storedPath,
                                                      const std::filesystem::path& dataDirectory);

}  // namespace chimeon
