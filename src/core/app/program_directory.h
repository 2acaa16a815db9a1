#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace chimeon {

// Where the data files live ("setup.ini", the tables, the calendar, "skin/"):
// - the executable's folder when it holds "setup.ini" or a "skin" folder (a portable copy, and
//   the build tree);
// - otherwise $XDG_DATA_HOME/Chimeon, or ~/.local/share/Chimeon when XDG_DATA_HOME is unset or
//   not absolute.
// `xdgDataHome` and `home` may be null. Creates nothing.
std::filesystem::path ResolveProgramDirectory(const std::filesystem::path& executableFolder,
                                              const char* xdgDataHome, const char* home);

// An XDG base folder: the variable's value ($XDG_DATA_HOME, $XDG_CONFIG_HOME) when it is
// absolute, else `belowHome` (".local/share", ".config") in the home folder. Either may be null.
std::filesystem::path XdgBaseFolder(const char* xdgVariable, const char* home,
                                    std::string_view belowHome);

// The running executable (empty when the system does not say), and its folder.
std::filesystem::path ExecutablePath();
std::filesystem::path ExecutableFolder();

// The data directory of this process as text ending in "/", created on first use. Every data
// file is addressed as ProgramDirectory() + its name.
std::string ProgramDirectory();

// Removes the temporary files that interrupted saves of the stored files (settings, tables,
// calendar) left in the data directory, leaving those of a save still running; how many.
int RemoveStaleSaveTemporaries(const std::filesystem::path& dataDirectory);

// The folder of data installed with the program (skins, the logo).
std::filesystem::path InstalledDataFolder();
// The folder of skins installed with the program (beside the data directory's own "skin").
std::filesystem::path InstalledSkinFolder();
// A file shipped with the program ("Larkworks.gif"): the data directory's own copy, else the
// installed one; an empty path when neither exists.
std::filesystem::path LocateDataFile(const std::filesystem::path& dataDirectory,
                                     std::string_view name);

}  // namespace chimeon
