#include "core/system/hex_coding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chimeon {
namespace {

using Bytes = std::vector<unsigned char>;

TEST(HexCodingTest, EncodeAppendsUppercasePairsAndEveryByteComesBack) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    std::string text = "<";
    HexEncode(all.data(), 3, text);
    EXPECT_EQ(text, "<000102");
    text.clear();
    HexEncode(all.data(), all.size(), text);
    EXPECT_EQ(text.substr(508), "FEFF");
    EXPECT_EQ(HexDecode(text, all.size()), all);
}

TEST(HexCodingTest, DecodeQuirks) {
    struct Case {
        const char* text;
        std::size_t n;
        Bytes bytes;
    };
    const Case cases[] = {
        {"000FA5FF", 4, {0x00, 0x0F, 0xA5, 0xFF}},
        {"a5", 1, {0x00}},          // lowercase ends the pair at once
        {"Aa", 1, {0x0A}},          // ... keeping the digits before it
        {"aA", 1, {0x00}},          // ... and what follows it in the pair is not read
        {"A5B", 1, {0xA5}},         // odd length: the caller asks for whole pairs only
        {"G1", 1, {0x00}},          // other characters end the pair too
        {"1G23", 2, {0x01, 0x23}},  // the next pair starts at its own place
        {" 7", 1, {0x00}},
        {"7", 1, {0x07}},  // the end of the text ends the pair
        {"", 2, {0x00, 0x00}},
        {"FF", 0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexDecode(c.text, c.n), c.bytes) << c.text;
    }
}

}  // namespace
}  // namespace chimeon
