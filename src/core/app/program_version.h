#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// The program's version as the build gives it ("0.1.0"): the about page, `chimeon --version`
// and `chimeonctl --version` all say this one.
std::string_view ProgramVersion();

// The product name with its version, as the about page shows it: "[Vantor]Chimeon  V0.1.0".
std::string ProductVersionText();

}  // namespace chimeon
