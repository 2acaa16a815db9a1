#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/admin/schedule_check.h"

namespace chimeon {

// Looks at the real files (stored paths resolved ignoring letter case, either separator) and
// measures each file once, however many rows name it.
class FileSystemInspector : public MediaInspector {
public:
    Facts Inspect(std::string_view storedPath) override;
    std::optional<std::string> PlayTime(const std::string& resolvedPath) override;

private:
    std::map<std::string, Facts, std::less<>> facts_;
    std::map<std::string, std::optional<std::string>> playTimes_;
};

}  // namespace chimeon
