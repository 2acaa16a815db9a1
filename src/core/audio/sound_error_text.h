#pragma once

#include <string>

namespace chimeon {

// What the operator is told about a failed sound device or recording file, for an error code of
// the sound system or an errno value (either sign): Chinese words for what can happen here, and
// the system's own text in parentheses only where the words cannot say more.
std::string SoundErrorText(int error, const std::string& systemText);

}  // namespace chimeon
