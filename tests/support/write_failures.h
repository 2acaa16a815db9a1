#pragma once

#include <functional>
#include <string>

namespace chimeon::test {

// Runs `attempt` where writing into `folder` is refused by the system (a folder without write
// permission; as root, in a child process that has given up root). Returns what `attempt`
// returned, or false when the child could not run it.
bool RunWithoutWritePermission(const std::string& folder, const std::function<bool()>& attempt);

// Runs `attempt` in a child process that has given up root to become "nobody", another user than
// the owner of the test's files. Only for tests running as root. Returns what `attempt` returned.
bool RunAsNobody(const std::function<bool()>& attempt);

// Runs `attempt` with the file-size limit set to `maxBytes`, so that a write past it fails as on
// a full disk. Returns what `attempt` returned.
bool RunWithFileSizeLimit(long maxBytes, const std::function<bool()>& attempt);

}  // namespace chimeon::test
