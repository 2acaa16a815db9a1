#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// The fixed key under which the password is stored in "Pas".
inline constexpr std::string_view kPasswordCipherKey = "qeltomrv";

// The "Pas" text of a password (its GBK bytes): the bytes enciphered block by block, the last
// block filled with zero bytes, written as uppercase hexadecimal; "" for the empty password.
// Any length is accepted: the buffers follow the text.
std::string EncipherPassword(std::string_view passwordBytes);

// The password a "Pas" text holds: its whole bytes deciphered, up to the first zero byte.
std::string DecipherStoredPassword(std::string_view storedText);

}  // namespace chimeon
