#include "core/schedule/media_kind.h"

#include <gtest/gtest.h>

namespace chimeon {
namespace {

TEST(MediaKindTest, FileNamePartDecidesAFolderAndTheEndingAFilesKind) {
    using K = MediaKind;
    const struct {
        const char* path;
        MediaKind kind;
    } cases[] = {
        {"", K::kFolder},
        {"d:\\music\\", K::kFolder},
        {"/srv/music/", K::kFolder},
        {"d:\\music\\.mp3", K::kFolder},  // only an extension
        {"d:", K::kFolder},
        {"d:\\music\\a.mp3", K::kMp3},
        {"x.Mp3", K::kMp3},
        {"a.b.mp3", K::kMp3},
        {"D:\\Music\\Song.WAV", K::kWave},
        {"/srv/music/README", K::kOther},
        {"d:\\music", K::kOther},  // no separator at the end: a file named "music"
        {"d:\\x.mp3s\\bell.mid", K::kOther},
        {"d:\\a.wav.bak", K::kOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MediaKindOf(c.path), c.kind) << c.path;
    }
}

}  // namespace
}  // namespace chimeon
