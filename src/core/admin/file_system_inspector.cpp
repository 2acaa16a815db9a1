#include "core/admin/file_system_inspector.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "core/engine/duration_probe.h"
#include "core/io/file_io.h"

namespace chimeon {
namespace fs = std::filesystem;

MediaInspector::Facts FileSystemInspector::Inspect(std::string_view storedPath) {
    if (auto known = facts_.find(storedPath); known != facts_.end()) {
        return known->second;
    }
    Facts facts;
    if (auto resolved = ResolvePathIgnoringCase(storedPath)) {
        facts.resolved = resolved->string();
        std::error_code error;
        fs::file_status status = fs::status(*resolved, error);
        if (fs::is_directory(status)) {
            facts.kind = Kind::kFolder;
            facts.readable = ::access(resolved->c_str(), R_OK | X_OK) == 0;
            for (fs::directory_iterator it(*resolved, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code entryError;
                facts.filesInFolder += it->is_regular_file(entryError) ? 1 : 0;
            }
        } else if (fs::is_regular_file(status)) {
            facts.kind = Kind::kFile;
            int fd = ::open(resolved->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            facts.readable = fd >= 0;
            if (fd >= 0) {
                ::close(fd);
            }
        } else {
            facts.kind = fs::exists(status) ? Kind::kOther : Kind::kMissing;
        }
    }
    facts_.emplace(std::string(storedPath), facts);
    return facts;
}

std::optional<std::string> FileSystemInspector::PlayTime(const std::string& resolvedPath) {
    auto known = playTimes_.find(resolvedPath);
    if (known == playTimes_.end()) {
        known = playTimes_.emplace(resolvedPath, ProbeDuration(resolvedPath)).first;
    }
    return known->second;
}

}  // namespace chimeon
