#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace chimeon::ctl {

// Exit statuses of chimeonctl.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // a check found problems
inline constexpr int kExitUsage = 2;     // bad arguments, bad input or an unreadable data directory

// What every command gets: where the data is, how to print, and where to.
struct CommandContext {
    std::filesystem::path dataDirectory;
    bool json = false;
    std::ostream* out = nullptr;  // data
    std::ostream* err = nullptr;  // messages
};

// Prints "chimeonctl: MESSAGE" on the message stream and gives the usage exit status.
int UsageError(const CommandContext& context, const std::string& message);

}  // namespace chimeon::ctl
