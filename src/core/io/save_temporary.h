#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace chimeon {

// A save's temporary file beside `path` (".Day1.dat.XXXXXX", six letters or digits), created
// exclusively with `mode` (less the umask) and locked while the save runs (which tells
// RemoveStaleTemporaryFiles that the save is running); its name in `temporary`. -1 on failure.
int CreateSaveTemporary(const std::filesystem::path& folder, const std::filesystem::path& path,
                        mode_t mode, std::string* temporary);

// Removes the temporary files that interrupted saves of the files `names` left in `folder`
// (".Day1.dat.AbC123"): only those no running save holds. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder,
                              const std::vector<std::string>& names);

}  // namespace chimeon
