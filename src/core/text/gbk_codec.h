#pragma once

#include <string>
#include <string_view>

namespace chimeon {

// Stored files hold GBK bytes; the program holds UTF-8. Files are read as GB18030 (a superset
// of GBK, byte-identical for every GBK character) and written as GB18030.

// Lossless both ways for stored bytes: a byte that is no part of a character (a stray 0x80 or
// 0xFF, a lone lead byte) becomes a private-use code point (U+F780 + byte - 0x80) that EncodeGbk
// turns back into that byte, so EncodeGbk(DecodeGbk(bytes)) == bytes for any bytes.
std::string DecodeGbk(std::string_view gbkBytes);

// Every Unicode character has a GB18030 form (the kept-byte code points above become their
// byte); a byte that is not valid UTF-8 becomes "?".
std::string EncodeGbk(std::string_view utf8);

// True when the text needs no conversion either way.
bool IsAscii(std::string_view text);

}  // namespace chimeon
