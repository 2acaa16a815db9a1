#pragma once

#include <string>

namespace chimeon {

// Result codes of opening a link that the message names. The desktop's opener only says
// whether some program took the link, so a refusal reads as "no application associated".
inline constexpr int kLinkNoAssociation = 31;

// The message shown when a link cannot be opened: "Unable to open hyperlink:\n\n" and the
// reason for the result code ("Unknown Error (%d) occurred." for a code without one).
std::string HyperlinkFailureMessage(int code);

}  // namespace chimeon
