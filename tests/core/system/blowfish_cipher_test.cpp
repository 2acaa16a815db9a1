#include "core/system/blowfish_cipher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/system/stored_password.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using Bytes = std::vector<unsigned char>;

// The cipher itself is Nettle's; what is ours is the stored format's word order and padding,
// which the "Pas" values below pin down.
TEST(BlowfishCipherTest, InPlaceAndSeparateBuffersAgreeAndZeroFillTheLastBlock) {
    const unsigned char key[] = {'q', 'e', 'l', 't', 'o', 'm', 'r', 'v'};
    CBlowfishCipher cipher(key, sizeof key);

    // Bytes past n in the in-place buffer are garbage that must not leak into the cipher text.
    Bytes inPlace = {'a', 'b', 'c', 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    Bytes input = {'a', 'b', 'c'};
    Bytes separate(8, 0x55);
    EXPECT_EQ(cipher.EncipherBuffer(inPlace.data(), inPlace.data(), 3), 8u);
    EXPECT_EQ(cipher.EncipherBuffer(input.data(), separate.data(), 3), 8u);
    EXPECT_EQ(inPlace, separate);

    cipher.DecipherBuffer(inPlace.data(), inPlace.data(), 3);
    EXPECT_EQ(inPlace, (Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0}));

    Bytes untouched(8, 0x77);
    cipher.DecipherBuffer(untouched.data(), untouched.data(), 0);
    EXPECT_EQ(untouched, Bytes(8, 0x77));
}

// Expected "Pas" texts were worked out apart from this code: a general Blowfish tool under the
// key "qeltomrv", with each 4-byte half of every block reversed before and after.
TEST(StoredPasswordTest, PasValuesOfKnownPasswords) {
    struct Case {
        std::string password;  // GBK bytes
        const char* pas;
    };
    const Case cases[] = {
        {"", ""},
        {"a", "965C283EE953C20D"},
        {"12345678", "98F1FE74C8CD17BE"},
        {"123456789", "98F1FE74C8CD17BEE180074171441057"},
        {"admin", "9995964905B259ED"},
        {test::Hex("b9e3 b2a5 c3dc c2eb"), "0D7487BB406768F3"},  // 广播密码 in GBK
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pas);
        EXPECT_EQ(EncipherPassword(c.password), c.pas);
        EXPECT_EQ(DecipherStoredPassword(c.pas), c.password);
    }
}

TEST(StoredPasswordTest, LongPasswordsKeepTheStoredFormat) {
    // Longer than the 96 bytes that fixed buffers once allowed.
    for (std::size_t length : {96u, 97u, 200u, 1000u}) {
        std::string password(length, 'x');
        password[length - 1] = 'z';
        std::string pas = EncipherPassword(password);
        EXPECT_EQ(pas.size(), 2 * CBlowfishCipher::PaddedLength(length)) << length;
        EXPECT_EQ(pas.substr(0, 16), EncipherPassword("xxxxxxxx")) << length;  // ECB: blocks alone
        EXPECT_EQ(DecipherStoredPassword(pas), password) << length;
    }
}

TEST(StoredPasswordTest, MalformedPasNeverMatchesAnOrdinaryPasswordAndNeverOverruns) {
    const std::string pas = EncipherPassword("secret");
    std::string lower = pas;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(DecipherStoredPassword(lower), "secret");
    EXPECT_EQ(DecipherStoredPassword(pas + "A"), "secret");  // odd length: last digit ignored
    EXPECT_NE(DecipherStoredPassword(pas.substr(0, 15)), "secret");
    EXPECT_EQ(DecipherStoredPassword("zz"), DecipherStoredPassword("0000"));
}

}  // namespace
}  // namespace chimeon
