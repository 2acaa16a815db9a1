#include "core/io/media_path.h"

#include "core/io/case_folding_lookup.h"

namespace chimeon {
namespace fs = std::filesystem;

std::string PathInDataDirectory(std::string_view storedPath, const fs::path& dataDirectory) {
    if (storedPath.empty() || storedPath.front() == '/' || storedPath.front() == '\\' ||
        dataDirectory.empty()) {
        return std::string(storedPath);
    }
    return (dataDirectory / std::string(storedPath)).string();
}

std::optional<fs::path> ResolveMediaPath(std::string_view storedPath,
                                         const fs::path& dataDirectory) {
    return ResolvePathIgnoringCase(PathInDataDirectory(storedPath, dataDirectory));
}

}  // namespace chimeon
