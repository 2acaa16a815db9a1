#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace chimeon {

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

// Makes a write past the file-size limit (ulimit -f) fail with EFBIG instead of ending the process
// by SIGXFSZ, so that a save meeting the limit fails like one on a full disk: the old file kept,
// the temporary file removed. Each program calls it once at start.
void TreatFileSizeLimitAsWriteFailure();

}  // namespace chimeon
