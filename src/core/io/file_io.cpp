#include "core/io/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <random>
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

std::vector<std::string> NamesMatchingIgnoringCase(const fs::path& folder, std::string_view name,
                                                   std::error_code* listError = nullptr) {
    std::vector<std::string> matches;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (EqualsIgnoringCase(entry, name)) {
            matches.push_back(std::move(entry));
        }
    }
    if (listError != nullptr) {
        *listError = error;
    }
    std::sort(matches.begin(), matches.end());
    return matches;
}

StoredFileRead Unreadable(std::string problem) {
    return {StoredFileRead::State::kUnreadable, {}, std::move(problem)};
}

// Reads `file`, the name that was asked for or the one spelling of it found in its folder.
StoredFileRead ReadFound(const fs::path& file) {
    int error = 0;
    if (auto bytes = ReadFileBytes(file, &error)) {
        return {StoredFileRead::State::kRead, std::move(*bytes), {}};
    }
    return Unreadable(ReadProblem(file, error));
}

// A save's temporary file beside `path` (".Day1.dat.XXXXXX", six letters or digits), created
// exclusively with `mode` (less the umask) and locked while the save runs; -1 on failure.
int CreateTemporaryFile(const fs::path& folder, const fs::path& path, mode_t mode,
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

std::optional<std::string> ReadFileBytes(const fs::path& path, int* error) {
    auto fail = [error](int code) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = code;
        }
        return std::nullopt;
    };
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        return fail(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return fail(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(S_ISDIR(info.st_mode) ? EISDIR : ENXIO);
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
            return fail(errno);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

std::string FileErrorText(int error) {
    switch (error) {
        case ENOENT:
            return "不存在";
        case EACCES:
        case EPERM:
            return "没有权限";
        case EISDIR:
            return "是一个文件夹";
        case ENXIO:
        case ENODEV:
            return "不是普通文件";
        case ENOTDIR:
            return "路径中的一段不是文件夹";
        case ELOOP:
            return "符号链接太多或成环";
        case ENAMETOOLONG:
            return "路径太长";
        case EROFS:
            return "所在的磁盘是只读的";
        case ENOSPC:
            return "磁盘已满";
        case EDQUOT:
            return "超出了磁盘配额";
        case EFBIG:
            return "文件太大";
        case EIO:
            return "磁盘读写出错";
        case EMFILE:
        case ENFILE:
            return "打开的文件太多";
        case ENOMEM:
            return "内存不足";
        case EBUSY:
        case ETXTBSY:
            return "正被占用";
        case EEXIST:
            return "已经存在";
        case EAGAIN:
        case EINTR:
            return "暂时无法访问";
        case ESTALE:
        case ETIMEDOUT:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENOTCONN:
        case ECONNREFUSED:
        case ENETDOWN:
        case ENETUNREACH:
            return "网络共享没有响应";
        default:
            return "系统错误（错误号 " + std::to_string(error) + "）";
    }
}

std::string ReadProblem(const fs::path& file, int error) {
    struct stat info {};
    if (error == ENOENT && ::lstat(file.c_str(), &info) == 0) {
        return "符号链接指向的文件不存在";  // the name is there, what it points to is not
    }
    if (error == EACCES || error == EPERM) {
        return "没有读取权限";
    }
    return FileErrorText(error);
}

StoredFileRead ReadStoredFileOrProblem(const fs::path& path) {
    StoredFileRead exact = ReadFound(path);
    struct stat info {};
    if (exact.state == StoredFileRead::State::kRead || ::lstat(path.c_str(), &info) == 0 ||
        errno != ENOENT) {
        // There (a dangling link too), but unreadable: another spelling must not stand in for it.
        return exact;
    }
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code listError;
    auto matches = NamesMatchingIgnoringCase(folder, path.filename().string(), &listError);
    if (listError && listError != std::errc::no_such_file_or_directory) {
        return Unreadable("所在的文件夹无法查看（" + FileErrorText(listError.value()) + "）");
    }
    if (matches.empty()) {
        return {};
    }
    if (matches.size() > 1) {
        return Unreadable("有几个名字只差大小写：" + matches[0] + "、" + matches[1]);
    }
    return ReadFound(folder / matches.front());
}

std::optional<std::string> ReadStoredFile(const fs::path& path) {
    StoredFileRead read = ReadStoredFileOrProblem(path);
    if (read.state != StoredFileRead::State::kRead) {
        return std::nullopt;
    }
    return std::move(read.bytes);
}

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
    FileDescriptor fd(CreateTemporaryFile(folder, path, setsMode ? 0600 : newFileMode, &temporary));
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

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
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
