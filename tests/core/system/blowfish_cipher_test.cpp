#include "core/system/blowfish_cipher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/system/hex_coding.h"
#include "core/system/stored_password.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(std::string_view hex) {
    std::string raw = test::Hex(hex);
    return Bytes(raw.begin(), raw.end());
}

// The published vectors count a block as two big-endian words; this cipher reads little-endian
// halves, so each 4-byte half is reversed on the way in and out.
Bytes SwapHalves(Bytes block) {
    for (std::size_t half = 0; half + 4 <= block.size(); half += 4) {
        std::swap(block[half], block[half + 3]);
        std::swap(block[half + 1], block[half + 2]);
    }
    return block;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

TEST(BlowfishCipherTest, PublishedVectorsWithLittleEndianHalves) {
    const Vector vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.key);
        Bytes key = FromHex(v.key);
        CBlowfishCipher cipher(key.data(), key.size());

        Bytes plain = SwapHalves(FromHex(v.plain));
        Bytes out(8);
        EXPECT_EQ(cipher.EncipherBuffer(plain.data(), out.data(), 8), 8u);
        EXPECT_EQ(SwapHalves(out), FromHex(v.cipher));

        Bytes back(8);
        cipher.DecipherBuffer(out.data(), back.data(), 8);
        EXPECT_EQ(back, plain);
    }
}

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
