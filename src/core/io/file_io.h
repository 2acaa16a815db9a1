#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimeon {

// Whole contents of a regular file, or nothing when it cannot be opened for reading (missing,
// no permission, a folder, a FIFO or other special file: those are never opened blocking). On
// failure `error`, when given, receives the errno value (ENXIO for a file that is not regular).
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                                       int* error = nullptr);

// An errno value in the operator's words: "没有权限", "是一个文件夹", "磁盘已满", ...; one the
// program does not expect gets its number ("系统错误（错误号 N）"), never the system's English.
std::string FileErrorText(int error);

// Why a file could not be opened for reading (the errno from ReadFileBytes or ReadOnlyFile::Open),
// in a few words: "符号链接指向的文件不存在", "没有读取权限", "是一个文件夹", "不是普通文件", ...
std::string ReadProblem(const std::filesystem::path& file, int error);

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

// Replaces the file atomically: a temporary file in the same folder is written, flushed to disk
// and renamed over the old one, so a crash leaves the old file or the new one, never a part.
// On failure the old file is untouched and false is returned. A symbolic link (or a chain of
// them) is followed to the file it finally names, which is replaced there. An existing file that
// could not be opened for writing, or that has no write permission bit at all, is write-protected:
// it is kept and false is returned. A new file gets `newFileMode` less the umask; an existing one
// keeps its mode and, where allowed, its owner; `forceMode` sets `newFileMode` exactly either way.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       mode_t newFileMode = 0644, bool forceMode = false);

// The file a replacement of `path` is written to: the file a symbolic link, or a chain of them,
// finally names (tables kept on a shared folder, say), so that no link is cut off from the file
// it stood for.
std::filesystem::path ReplacementPath(const std::filesystem::path& path);

// Renames a finished, flushed temporary file over `path` and flushes the folder, so the rename
// itself reaches the disk. False (errno set) when the rename fails.
[[nodiscard]] bool RenameIntoPlace(const std::filesystem::path& temporary,
                                   const std::filesystem::path& path);

// Writes all the bytes to the descriptor, going on after interrupted or partial writes.
[[nodiscard]] bool WriteAllBytes(int fd, std::string_view bytes);

// Makes a write past the file-size limit (ulimit -f) fail with EFBIG instead of ending the process
// by SIGXFSZ, so that a save meeting the limit fails like one on a full disk: the old file kept,
// the temporary file removed. Each program calls it once at start.
void TreatFileSizeLimitAsWriteFailure();

// Removes the temporary files that interrupted saves of the files `names` left in `folder`
// (".Day1.dat.AbC123"): only those no running save holds. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder,
                              const std::vector<std::string>& names);

// True when the two names are equal ignoring ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// A stored media path as the program opens it: an absolute one as it is; a relative one in the
// data directory (never the working directory, which depends on how the program was started).
std::string PathInDataDirectory(std::string_view storedPath,
                                const std::filesystem::path& dataDirectory);

// Resolves a stored path ("\" or "/" separators) to an existing file or folder: the exact path
// when it exists, otherwise one component at a time ignoring letter case (the first match in name
// order when several differ only in case). Nothing when some component cannot be found.
std::optional<std::filesystem::path> ResolvePathIgnoringCase(std::string_view storedPath);

// The existing file or folder a row's stored media path names: PathInDataDirectory, resolved
// ignoring letter case. What the broadcast clock opens and what the checks look at.
std::optional<std::filesystem::path> ResolveMediaPath(std::string_view storedPath,
                                                      const std::filesystem::path& dataDirectory);

}  // namespace chimeon
