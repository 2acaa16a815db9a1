#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace chimeon {

// Whole contents of a regular file, or nothing when it cannot be opened for reading (missing,
// no permission, a folder, a FIFO or other special file: those are never opened blocking).
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// Reads a stored data file. When the exact name is missing, a single file in the same folder whose
// name differs only in letter case is read instead (files copied from Windows arrive as
// "day1.dat" or "DAY1.DAT").
[[nodiscard]] std::optional<std::string> ReadStoredFile(const std::filesystem::path& path);

// Replaces the file atomically: a temporary file in the same folder is written, flushed to disk
// and renamed over the old one, so a crash leaves the old file or the new one, never a part.
// On failure the old file is untouched and false is returned. A new file gets `newFileMode`;
// an existing one keeps its mode unless `forceMode` is set.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       mode_t newFileMode = 0644, bool forceMode = false);

// The file a replacement of `path` is written to: the target of a symbolic link (tables kept on a
// shared folder, say), so that the link is not cut off from the file it stood for.
std::filesystem::path ReplacementPath(const std::filesystem::path& path);

// Renames a finished, flushed temporary file over `path` and flushes the folder, so the rename
// itself reaches the disk. False (errno set) when the rename fails.
[[nodiscard]] bool RenameIntoPlace(const std::filesystem::path& temporary,
                                   const std::filesystem::path& path);

// Writes all the bytes to the descriptor, going on after interrupted or partial writes.
[[nodiscard]] bool WriteAllBytes(int fd, std::string_view bytes);

// True when the two names are equal ignoring ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The one entry of `folder` whose name equals `name` ignoring case; nothing when there is none or
// more than one.
std::optional<std::filesystem::path> FindSingleCaseInsensitiveMatch(
    const std::filesystem::path& folder, std::string_view name);

// Resolves a stored path ("\" or "/" separators) to an existing file or folder: the exact path
// when it exists, otherwise one component at a time ignoring letter case (the first match in name
// order when several differ only in case). Nothing when some component cannot be found.
std::optional<std::filesystem::path> ResolvePathIgnoringCase(std::string_view storedPath);

}  // namespace chimeon
