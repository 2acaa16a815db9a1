#include "core/io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace chimeon {
namespace fs = std::filesystem;

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (a failed close may mean lost data).
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::vector<std::string> NamesMatchingIgnoringCase(const fs::path& folder, std::string_view name) {
    std::vector<std::string> matches;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (EqualsIgnoringCase(entry, name)) {
            matches.push_back(std::move(entry));
        }
    }
    std::sort(matches.begin(), matches.end());
    return matches;
}

}  // namespace

std::optional<std::string> ReadFileBytes(const fs::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

std::optional<std::string> ReadStoredFile(const fs::path& path) {
    if (auto bytes = ReadFileBytes(path)) {
        return bytes;
    }
    std::error_code error;
    if (fs::exists(path, error)) {
        return std::nullopt;  // there, but unreadable: another spelling must not stand in for it
    }
    auto match = FindSingleCaseInsensitiveMatch(path.parent_path(), path.filename().string());
    if (!match) {
        return std::nullopt;
    }
    return ReadFileBytes(*match);
}

fs::path ReplacementPath(const fs::path& requestedPath) {
    std::error_code linkError;
    if (fs::is_symlink(requestedPath, linkError)) {
        fs::path target = fs::read_symlink(requestedPath, linkError);
        if (!linkError) {
            return target.is_absolute() ? target : requestedPath.parent_path() / target;
        }
    }
    return requestedPath;
}

bool RenameIntoPlace(const fs::path& temporary, const fs::path& path) {
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return false;
    }
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
    return true;
}

bool WriteAllBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool WriteFileAtomically(const fs::path& requestedPath, std::string_view bytes, mode_t newFileMode,
                         bool forceMode) {
    const fs::path path = ReplacementPath(requestedPath);
    mode_t mode = newFileMode;
    struct stat existing {};
    if (!forceMode && ::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    bool ok =
        ::fchmod(fd.get(), mode) == 0 && WriteAllBytes(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok && RenameIntoPlace(temporary, path);
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::optional<fs::path> FindSingleCaseInsensitiveMatch(const fs::path& folder,
                                                       std::string_view name) {
    auto matches = NamesMatchingIgnoringCase(folder.empty() ? fs::path(".") : folder, name);
    if (matches.size() != 1) {
        return std::nullopt;
    }
    return folder / matches.front();
}

std::optional<fs::path> ResolvePathIgnoringCase(std::string_view storedPath) {
    std::string normalised(storedPath);
    std::replace(normalised.begin(), normalised.end(), '\\', '/');
    if (normalised.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    fs::path exact(normalised);
    if (fs::exists(exact, error)) {
        return exact;
    }
    fs::path resolved = exact.is_absolute() ? fs::path("/") : fs::path(".");
    for (const fs::path& part : exact.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == ".") {
            continue;
        }
        fs::path next = resolved / part;
        if (name == ".." || fs::exists(next, error)) {
            resolved = std::move(next);
            continue;
        }
        auto matches = NamesMatchingIgnoringCase(resolved, name);
        if (matches.empty()) {
            return std::nullopt;
        }
        resolved /= matches.front();
    }
    if (!exact.is_absolute()) {
        resolved = resolved.lexically_normal();
    }
    return resolved;
}

}  // namespace chimeon
