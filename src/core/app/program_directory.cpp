#include "core/app/program_directory.h"

#include <cstdlib>
#include <system_error>
#include <vector>

#include "core/io/save_temporary.h"
#include "core/schedule/holiday_calendar.h"
#include "core/schedule/table_id.h"

#ifndef CHIMEON_INSTALLED_DATA_DIR
#define CHIMEON_INSTALLED_DATA_DIR "/usr/local/share/chimeon"
#endif

namespace chimeon {
namespace fs = std::filesystem;

fs::path ResolveProgramDirectory(const fs::path& executableFolder, const char* xdgDataHome,
                                 const char* home) {
    std::error_code error;
    if (fs::is_regular_file(executableFolder / "setup.ini", error) ||
        fs::is_directory(executableFolder / "skin", error)) {
        return executableFolder;
    }
    return XdgBaseFolder(xdgDataHome, home, ".local/share") / "Chimeon";
}

fs::path XdgBaseFolder(const char* xdgVariable, const char* home, std::string_view belowHome) {
    // By the XDG base-directory rules a relative value is ignored.
    if (xdgVariable != nullptr && fs::path(xdgVariable).is_absolute()) {
        return fs::path(xdgVariable);
    }
    fs::path homeFolder = (home != nullptr && *home != '\0') ? fs::path(home) : fs::path("/");
    return homeFolder / belowHome;
}

fs::path ExecutablePath() {
    std::error_code error;
    fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable;
}

fs::path ExecutableFolder() {
    const fs::path executable = ExecutablePath();
    std::error_code error;
    return executable.empty() ? fs::current_path(error) : executable.parent_path();
}

std::string ProgramDirectory() {
    static const std::string directory = [] {
        fs::path folder = ResolveProgramDirectory(ExecutableFolder(), std::getenv("XDG_DATA_HOME"),
                                                  std::getenv("HOME"));
        std::error_code error;
        fs::create_directories(folder, error);
        std::string text = folder.string();
        if (text.empty() || text.back() != '/') {
            text.push_back('/');
        }
        return text;
    }();
    return directory;
}

int RemoveStaleSaveTemporaries(const fs::path& dataDirectory) {
    std::vector<std::string> names = {"setup.ini", std::string(kRestDaysFileName),
                                      std::string(kExtraWorkDaysFileName)};
    for (int table = 0; table < kTableCount; ++table) {
        names.push_back(TableFileName(static_cast<TableId>(table)));
    }
    return RemoveStaleTemporaryFiles(dataDirectory, names);
}

fs::path InstalledDataFolder() {
    return fs::path(CHIMEON_INSTALLED_DATA_DIR);
}

fs::path InstalledSkinFolder() {
    return InstalledDataFolder() / "skin";
}

fs::path LocateDataFile(const fs::path& dataDirectory, std::string_view name) {
    for (const fs::path& folder : {dataDirectory, InstalledDataFolder()}) {
        std::error_code error;
        if (fs::is_regular_file(folder / name, error)) {
            return folder / name;
        }
    }
    return {};
}

}  // namespace chimeon
