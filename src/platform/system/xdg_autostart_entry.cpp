#include "platform/system/xdg_autostart_entry.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

#include "core/app/program_directory.h"
#include "core/io/atomic_write.h"

namespace chimeon {
namespace fs = std::filesystem;
namespace {

// A string value: backslash, line breaks and tabs escaped, and a leading space kept.
std::string EscapedValue(std::string_view text) {
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            case ' ':
                value += i == 0 ? "\\s" : " ";
                break;
            default:
                value += text[i];
        }
    }
    return value;
}

// One argument of the command, always quoted: inside the quotes '"', '`', '$' and '\' take a
// backslash, and '%' (which starts a field code) is doubled.
std::string QuotedArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

fs::path AutostartFolder(const char* xdgConfigHome, const char* home) {
    return XdgBaseFolder(xdgConfigHome, home, ".config") / "autostart";
}

std::string AutostartEntryText(const fs::path& executable, const fs::path& workingFolder) {
    return "[Desktop Entry]\nType=Application\nName=" + std::string(kAutostartName) +
           "\nExec=" + EscapedValue(QuotedArgument(executable.string())) +
           "\nPath=" + EscapedValue(workingFolder.string()) + "\nTerminal=false\n";
}

XdgAutostartEntry::XdgAutostartEntry(fs::path folder, fs::path executable, fs::path workingFolder)
    : folder_(std::move(folder)),
      executable_(std::move(executable)),
      workingFolder_(std::move(workingFolder)) {}

fs::path XdgAutostartEntry::file() const {
    return folder_ / (std::string(kAutostartName) + ".desktop");
}

bool XdgAutostartEntry::Create(std::string* error) {
    std::error_code made;
    fs::create_directories(folder_, made);
    if (!WriteFileAtomically(file(), AutostartEntryText(executable_, workingFolder_))) {
        *error = file().string() + " cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool XdgAutostartEntry::Remove(std::string* error) {
    std::error_code removed;
    fs::remove(file(), removed);
    if (removed) {
        *error = file().string() + " cannot be removed: " + removed.message();
        return false;
    }
    return true;
}

}  // namespace chimeon
