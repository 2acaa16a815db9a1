#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/app/settings_store.h"

namespace chimeon::test {

// Settings kept in memory; an empty value reads as missing, as in setup.ini.
class MemorySettings : public SettingsStore {
public:
    int GetInt(std::string_view key, int defaultValue) const override;
    std::string GetString(std::string_view key, std::string_view defaultValue) const override;
    bool WriteInt(std::string_view key, int value) override;
    bool WriteString(std::string_view key, std::string_view value) override;

    std::map<std::string, std::string, std::less<>> values;
    bool failWrites = false;  // every write fails, as on a full disk
};

}  // namespace chimeon::test
