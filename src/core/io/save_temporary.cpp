#include "core/io/save_temporary.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <random>
#include <string_view>
#include <system_error>

#include "core/io/file_descriptor.h"
#include "core/text/ascii_case.h"

namespace chimeon {
namespace fs = std::filesystem;

int CreateSaveTemporary(const fs::path& folder, const fs::path& path, mode_t mode,
                        std::string* temporary) {
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + path.filename().string() + ".";
        for (int i = 0; i < 6; ++i) {
            name.push_back(kLetters[pick(random)]);
        }
        *temporary = (folder / name).string();
        int fd =
            ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);  // tells RemoveStaleTemporaryFiles that this save is running
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

int RemoveStaleTemporaryFiles(const fs::path& folder, const std::vector<std::string>& names) {
    // A save makes its temporary file and locks it at once; one younger than this may be a save
    // between those two steps.
    constexpr std::time_t kYoungestStaleSeconds = 2;
    int removed = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        bool ours = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            if (entry.size() != name.size() + 8 || entry[0] != '.' ||
                entry[name.size() + 1] != '.' ||
                !EqualsIgnoringCase(std::string_view(entry).substr(1, name.size()), name)) {
                return false;
            }
            return std::all_of(entry.end() - 6, entry.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            });
        });
        if (!ours) {
            continue;
        }
        FileDescriptor fd(
            ::open(it->path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_mtime > std::time(nullptr) - kYoungestStaleSeconds ||
            ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            continue;  // a save that is still running holds its lock
        }
        removed += ::unlink(it->path().c_str()) == 0 ? 1 : 0;
    }
    return removed;
}

}  // namespace chimeon
