#pragma once

#include <filesystem>
#include <string>

#include "core/system/autostart_entry.h"

namespace chimeon {

// The desktop session's autostart folder: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart
// when the variable is unset or not absolute. Either may be null.
std::filesystem::path AutostartFolder(const char* xdgConfigHome, const char* home);

// The desktop entry that starts `executable` with `workingFolder` as its working folder, named
// kAutostartName (values escaped and the command quoted as desktop entries require).
std::string AutostartEntryText(const std::filesystem::path& executable,
                               const std::filesystem::path& workingFolder);

// The autostart entry as a desktop entry file "[Vantor]Chimeon.desktop" in the autostart folder,
// written atomically.
class XdgAutostartEntry : public AutostartEntry {
public:
    XdgAutostartEntry(std::filesystem::path folder, std::filesystem::path executable,
                      std::filesystem::path workingFolder);

    [[nodiscard]] bool Create(std::string* error) override;
    [[nodiscard]] bool Remove(std::string* error) override;
    std::filesystem::path file() const;

private:
    std::filesystem::path folder_;
    std::filesystem::path executable_;
    std::filesystem::path workingFolder_;
};

}  // namespace chimeon
