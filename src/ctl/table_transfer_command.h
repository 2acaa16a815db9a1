#pragma once

#include <string>

#include "ctl/command_context.h"

namespace chimeon::ctl {

// Prints a stored table as JSON.
int RunExport(const CommandContext& context, const std::string& table);

// What an import needs besides the table and the file.
struct ImportOptions {
    bool passwordFromStdin = false;
};

// True when no login password is in use, or the one given is the stored one (checked as the
// login page checks it). Says why not on the message stream.
bool EditAllowed(const CommandContext& context, const ImportOptions& options);

// Replaces a stored table with the rows of a JSON file ("-" reads standard input), after the
// same checks as `check`; nothing is written when anything is wrong.
int RunImport(const CommandContext& context, const std::string& table, const std::string& file,
              const ImportOptions& options);

}  // namespace chimeon::ctl
