#include "core/io/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <system_error>

#include "core/io/file_descriptor.h"
#include "core/io/save_temporary.h"

namespace chimeon {
namespace fs = std::filesystem;

namespace {

enum class Existing { kNone, kWritable, kProtected };

// Whether the file that a save would replace may be replaced. It must open for writing (without
// truncating it), which checks permissions, ownership, ACLs, immutable files and read-only
// mounts as the kernel sees them. Root opens any file, so a file without a single write
// permission bit also counts as write-protected: "chmod a-w" is a deliberate "keep this".
Existing InspectExisting(const fs::path& path, struct stat* info) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? Existing::kNone : Existing::kProtected;
    }
    bool writable = ::fstat(fd, info) == 0 && S_ISREG(info->st_mode) && (info->st_mode & 0222) != 0;
    ::close(fd);
    return writable ? Existing::kWritable : Existing::kProtected;
}

}  // namespace

fs::path ReplacementPath(const fs::path& requestedPath) {
    fs::path current = requestedPath;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(current, error)) {
            return current;
        }
        fs::path target = fs::read_symlink(current, error);
        if (error) {
            break;
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return requestedPath;  // a loop: opening it fails, so nothing replaces it
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

bool WriteFileAtomically(const fs::path& requestedPath, std::string_view bytes, mode_t newFileMode,
                         bool forceMode) {
    const fs::path path = ReplacementPath(requestedPath);
    struct stat existing {};
    Existing state = InspectExisting(path, &existing);
    if (state == Existing::kProtected) {
        return false;
    }
    const bool keepsOld = state == Existing::kWritable;
    mode_t mode = keepsOld && !forceMode ? existing.st_mode & 07777 : newFileMode;
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::string temporary;
    // A new file is made with the mode less the umask; a kept or forced mode is set exactly, and
    // is reached from owner-only so that a private file is never readable meanwhile.
    const bool setsMode = keepsOld || forceMode;
    FileDescriptor fd(CreateSaveTemporary(folder, path, setsMode ? 0600 : newFileMode, &temporary));
    if (!fd.valid()) {
        return false;
    }
    if (keepsOld && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Root rewriting a user's table keeps it theirs; others keep at least its group.
        if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) {
            (void)!::fchown(fd.get(), static_cast<uid_t>(-1), existing.st_gid);
        }
    }
    bool ok = (!setsMode || ::fchmod(fd.get(), mode) == 0) && WriteAllBytes(fd.get(), bytes) &&
              ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok && RenameIntoPlace(temporary, path);
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void TreatFileSizeLimitAsWriteFailure() {
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace chimeon
