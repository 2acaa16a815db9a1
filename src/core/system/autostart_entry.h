#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// The name the program starts with the desktop session under.
inline constexpr std::string_view kAutostartName = "[Vantor]Chimeon";

// The entry that starts the running program with the desktop session, its working folder the
// data directory.
class AutostartEntry {
public:
    virtual ~AutostartEntry() = default;
    // Writes the entry, or renews it for the program as it runs now. False with the reason.
    [[nodiscard]] virtual bool Create(std::string* error) = 0;
    // Removes the entry; one that is not there is no error. False with the reason.
    [[nodiscard]] virtual bool Remove(std::string* error) = 0;
};

}  // namespace chimeon
