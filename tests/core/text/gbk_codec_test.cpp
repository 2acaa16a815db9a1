#include "core/text/gbk_codec.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

using test::Hex;

struct CodecCase {
    const char* name;
    std::string utf8;
    std::string gbk;
};

class GbkRoundTrip : public testing::TestWithParam<CodecCase> {};

TEST_P(GbkRoundTrip, DecodesAndEncodesByteForByte) {
    const CodecCase& c = GetParam();
    EXPECT_EQ(DecodeGbk(c.gbk), c.utf8);
    EXPECT_EQ(EncodeGbk(c.utf8), c.gbk);
}

INSTANTIATE_TEST_SUITE_P(
    StoredTexts, GbkRoundTrip,
    testing::Values(CodecCase{"ascii", "8:0:0  100", "8:0:0  100"},
                    CodecCase{"chained", "续播", Hex("d0 f8 b2 a5")},
                    CodecCase{"play_once", "播完终止", Hex("b2 a5 cd ea d6 d5 d6 b9")},
                    CodecCase{"template", "模板1", Hex("c4 a3 b0 e5 31")},
                    CodecCase{"mixed", "d:\\音乐\\a.mp3", "d:\\" + Hex("d2 f4 c0 d6") + "\\a.mp3"},
                    // Outside GBK: GB18030's four-byte form keeps every character.
                    CodecCase{"four_byte", "\xF0\x9F\x98\x80", Hex("94 39 fc 36")},
                    CodecCase{"empty", "", ""}),
    [](const testing::TestParamInfo<CodecCase>& info) { return info.param.name; });

TEST(GbkDecode, BytesThatDoNotDecodeAreKeptAndTheRestIsRead) {
    // Byte b is held as U+F780 + b - 0x80.
    const std::string k80 = "\xEF\x9E\x80", k81 = "\xEF\x9E\x81", k83 = "\xEF\x9E\x83",
                      kD0 = "\xEF\x9F\x90", kD8 = "\xEF\x9F\x98", kFF = "\xEF\x9F\xBF";
    struct {
        std::string gbk;
        std::string utf8;
    } cases[] = {
        {Hex("ff") + "abc", kFF + "abc"},
        // A lead byte before a space must not swallow the space (the volume separator).
        {Hex("d0") + "  80", kD0 + "  80"},
        {Hex("d0 f8 80 b2 a5"), "续" + k80 + "播"},
        {Hex("81 30 81"), k81 + "0" + k81},  // a cut-off four-byte form
        // The four-byte form of a kept-byte code point is itself kept byte by byte.
        {Hex("83 39 d8 37"), k83 + "9" + kD8 + "7"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeGbk(c.gbk), c.utf8);
        EXPECT_EQ(EncodeGbk(DecodeGbk(c.gbk)), c.gbk) << "the bytes come back";
    }
    std::string everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte += {static_cast<char>(b), static_cast<char>(255 - b)};
    }
    EXPECT_EQ(EncodeGbk(DecodeGbk(everyByte)), everyByte);
}

TEST(GbkEncode, InvalidUtf8BecomesQuestionMarkAndTheRestIsWritten) {
    EXPECT_EQ(EncodeGbk("a\xFF"
                        "b"),
              "a?b");
    EXPECT_EQ(EncodeGbk("\xE7\xBB"), "??");  // a character cut off at the end
    EXPECT_EQ(EncodeGbk("续\xC0\x80播"), Hex("d0 f8") + "??" + Hex("b2 a5"));
}

}  // namespace
}  // namespace chimeon
