#include "core/audio/wave.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "core/audio/file_error.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace chimeon {
namespace {

using test::Hex;

using test::Le16;
using test::Le32;

CWave Read(const std::string& bytes) {
    std::istringstream in(bytes);
    CWave wave;
    wave.Read(in, "test.wav");
    return wave;
}

std::string Written(const CWave& wave) {
    std::ostringstream out;
    wave.Write(out);
    return out.str();
}

CWave MonoSound(const std::string& samples) {
    CWave wave;
    wave.SetFormat(1, 8000, 16);
    auto count = static_cast<std::uint32_t>(samples.size() / 2);
    wave.SetData(samples.data(), count);
    return wave;
}

std::string Frames(const CWave& wave) {
    return std::string(reinterpret_cast<const char*>(wave.GetData()), wave.GetByteSize());
}

TEST(WaveTest, WrittenAndSavedFilesCountExactlyTheirBytesAndReadBack) {
    CWave empty;
    EXPECT_EQ(empty.GetData(), nullptr);
    empty.SetFormat(1, 8000, 16);
    EXPECT_EQ(Written(empty),
              "RIFF" + Hex("24 00 00 00") + "WAVEfmt " +
                  Hex("10 00 00 00  01 00  01 00  40 1f 00 00  80 3e 00 00  02 00  10 00") +
                  "data" + Hex("00 00 00 00"));

    const std::string samples = Hex("01 00 ff 7f 00 80 34 12");
    CWave wave = MonoSound(samples);
    const std::string bytes = Written(wave);
    EXPECT_EQ(bytes, test::WaveHeader(1, 8000, 16, 8) + samples);
    CWave back = Read(bytes);
    EXPECT_EQ(back.GetFormat(), wave.GetFormat());
    EXPECT_EQ(Written(back), bytes);

    test::TempDir dir;
    dir.Write("take.wav", "an older recording");
    wave.Save((dir / "take.wav").string());
    EXPECT_EQ(dir.Read("take.wav"), bytes);
    CWave loaded;
    loaded.Load((dir / "take.wav").string());
    EXPECT_EQ(Frames(loaded), samples);
}

TEST(WaveTest, DataSizeIsTakenInWholeFrames) {
    struct Case {
        const char* name;
        std::uint16_t channels, bits, blockAlign;
        std::uint32_t declared;
        std::size_t present;
        std::uint32_t frames;
    };
    const Case cases[] = {
        {"1001 bytes of 16-bit mono", 1, 16, 2, 1001, 1001, 500},
        {"declared larger than present", 1, 16, 2, 1000, 11, 5},
        {"size field of 4 GiB, little data", 2, 16, 4, 0xFFFFFFFF, 42, 10},
        {"declared smaller than present", 1, 8, 1, 3, 100, 3},
        {"odd block align", 3, 8, 3, 10, 10, 3},
    };
    for (const Case& c : cases) {
        std::string samples(c.present, '\x5A');
        CWave wave =
            Read(test::WaveHeader(c.channels, 8000, c.bits, c.declared, c.blockAlign) + samples);
        EXPECT_EQ(wave.GetFrameCount(), c.frames) << c.name;
        EXPECT_EQ(wave.GetByteSize(), std::uint64_t{c.frames} * c.blockAlign) << c.name;
        // Every byte handed out came from the file.
        EXPECT_EQ(Frames(wave), std::string(wave.GetByteSize(), '\x5A')) << c.name;
    }
}

TEST(WaveTest, FieldsBeyondTheTagsAreTakenAsTheyCome) {
    std::string bytes = test::WaveHeader(1, 8000, 16, 4) + "abcd";
    bytes.replace(4, 4, Le32(7));    // RIFF size
    bytes.replace(16, 4, Le32(99));  // format size
    bytes.replace(20, 2, Le16(3));   // format tag
    CWave wave = Read(bytes);
    EXPECT_EQ(wave.GetFormat().formatTag, 3);
    EXPECT_EQ(wave.GetFrameCount(), 2u);
}

TEST(WaveTest, NonCanonicalFilesAreRefusedAndLeaveTheWaveAsItWas) {
    const std::string good = test::WaveHeader(1, 8000, 16, 4) + "abcd";
    auto with = [&](std::size_t at, const std::string& bytes) {
        std::string changed = good;
        changed.replace(at, bytes.size(), bytes);
        return changed;
    };
    std::string fmt18 = "RIFF" + Le32(42) + "WAVEfmt " + Le32(18) + good.substr(20, 16) + Le16(0) +
                        "data" + Le32(4) + "abcd";
    std::string list = good.substr(0, 36) + "LIST" + Le32(4) + "INFO" + good.substr(36);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"RIFX", with(0, "RIFX")},
        {"not WAVE", with(8, "AVI ")},
        {"fmt without its blank", with(12, std::string("fmt\0", 4))},
        {"another chunk after WAVE", with(12, "LIST")},
        {"18-byte format body", fmt18},
        {"LIST chunk before data", list},
        {"block align 0", with(32, Le16(0))},
        {"header cut short", good.substr(0, 43)},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        CWave wave = MonoSound(Hex("01 02 03 04"));
        std::istringstream in(c.bytes);
        try {
            wave.Read(in, "bad.wav");
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const FileError& error) {
            EXPECT_EQ(error.kind(), FileError::Kind::kInvalidFile) << c.name;
            EXPECT_EQ(error.path(), "bad.wav") << c.name;
        }
        EXPECT_EQ(wave.GetFormat().samplesPerSec, 8000u) << c.name;
        EXPECT_EQ(Frames(wave), Hex("01 02 03 04")) << c.name;
    }
}

TEST(WaveTest, LoadAndSaveReportFilesThatCannotBeUsed) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.wav");
    struct Case {
        std::string path;
        FileError::Kind kind;
    };
    const Case loads[] = {
        {(dir / "missing.wav").string(), FileError::Kind::kFileNotFound},
        {(dir / "folder.wav").string(), FileError::Kind::kAccessDenied},
        {(dir / "pipe.wav").string(), FileError::Kind::kAccessDenied},  // never waits for a writer
    };
    for (const Case& c : loads) {
        CWave wave;
        try {
            wave.Load(c.path);
            ADD_FAILURE() << c.path << ": loaded";
        } catch (const FileError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.path;
            EXPECT_EQ(error.path(), c.path);
        }
    }
    CWave wave = MonoSound(Hex("01 00"));
    EXPECT_THROW(wave.Save((dir / "no-such-folder" / "a.wav").string()), FileError);
}

TEST(WaveTest, CopiesOwnTheirFrames) {
    CWave original = MonoSound(Hex("01 00 02 00"));
    CWave copy(original);
    CWave assigned;
    assigned = original;
    original = MonoSound(Hex("09 00"));
    for (const CWave* wave : {&copy, &assigned}) {
        EXPECT_EQ(wave->GetFormat().blockAlign, 2);
        EXPECT_EQ(Frames(*wave), Hex("01 00 02 00"));
    }
    CWave& self = copy;
    copy = self;
    EXPECT_EQ(Frames(copy), Hex("01 00 02 00"));
}

TEST(WaveBufferTest, CopyInKeepsTheBlockItHasAndZeroesTheRest) {
    CWaveBuffer buffer;
    buffer.Allocate(4, 2);
    const std::string source = Hex("11 11 22 22 33 33 44 44 55 55 66 66");
    auto bytes = [&] { return std::string(reinterpret_cast<const char*>(buffer.GetData()), 8); };

    buffer.CopyIn(source.data(), 2, 2);
    EXPECT_EQ(bytes(), Hex("11 11 22 22 00 00 00 00"));
    EXPECT_EQ(buffer.GetCount(), 4u);

    buffer.CopyIn(source.data(), 6, 2);  // only what fits
    EXPECT_EQ(bytes(), Hex("11 11 22 22 33 33 44 44"));

    buffer.CopyIn(source.data(), 3, 4);  // wider elements than the block's: still within it
    EXPECT_EQ(bytes(), Hex("11 11 22 22 33 33 44 44"));
    EXPECT_EQ(buffer.GetElementSize(), 2u);

    CWaveBuffer fresh;
    fresh.CopyIn(source.data(), 3, 2);
    EXPECT_EQ(fresh.GetCount(), 3u);
    EXPECT_EQ(std::memcmp(fresh.GetData(), source.data(), 6), 0);
}

}  // namespace
}  // namespace chimeon
