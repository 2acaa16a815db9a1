#include "core/system/stored_password.h"

#include <algorithm>
#include <vector>

#include "core/system/blowfish_cipher.h"
#include "core/system/hex_coding.h"

namespace chimeon {

namespace {

CBlowfishCipher PasswordCipher() {
    return CBlowfishCipher(reinterpret_cast<const unsigned char*>(kPasswordCipherKey.data()),
                           kPasswordCipherKey.size());
}

}  // namespace

std::string EncipherPassword(std::string_view passwordBytes) {
    const std::size_t n = passwordBytes.size();
    std::vector<unsigned char> buffer(CBlowfishCipher::PaddedLength(n), 0);
    const std::size_t padded = PasswordCipher().EncipherBuffer(
        reinterpret_cast<const unsigned char*>(passwordBytes.data()), buffer.data(), n);
    std::string text;
    HexEncode(buffer.data(), padded, text);
    return text;
}

std::string DecipherStoredPassword(std::string_view storedText) {
    const std::size_t n = storedText.size() / 2;
    std::vector<unsigned char> cipherText = HexDecode(storedText, n);
    cipherText.resize(CBlowfishCipher::PaddedLength(n), 0);
    std::vector<unsigned char> plain(cipherText.size(), 0);
    PasswordCipher().DecipherBuffer(cipherText.data(), plain.data(), n);
    auto end = std::find(plain.begin(), plain.end(), static_cast<unsigned char>(0));
    return std::string(plain.begin(), end);
}

}  // namespace chimeon
