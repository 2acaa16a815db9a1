#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// Stored files hold GBK bytes; the program holds UTF-8. Files are read as GB18030 (a superset
// of GBK, byte-identical for every GBK character) and written as GB18030.

// Bytes that do not decode become U+FFFD; the rest is still decoded.
std::string DecodeGbk(std::string_view gbkBytes);

// Every Unicode character has a GB18030 form; a byte that is not valid UTF-8 becomes "?".
std::string EncodeGbk(std::string_view utf8);

// True when the text needs no conversion either way.
bool IsAscii(std::string_view text);

}  // namespace chimeon
