#include "support/memory_settings.h"

#include <cstdlib>

namespace chimeon::test {

int MemorySettings::GetInt(std::string_view key, int defaultValue) const {
    auto it = values.find(key);
    return it == values.end() || it->second.empty() ? defaultValue : std::atoi(it->second.c_str());
}

std::string MemorySettings::GetString(std::string_view key, std::string_view defaultValue) const {
    auto it = values.find(key);
    return it == values.end() ? std::string(defaultValue) : it->second;
}

bool MemorySettings::WriteInt(std::string_view key, int value) {
    return WriteString(key, std::to_string(value));
}

bool MemorySettings::WriteString(std::string_view key, std::string_view value) {
    if (failWrites) {
        return false;
    }
    values[std::string(key)] = std::string(value);
    return true;
}

}  // namespace chimeon::test
