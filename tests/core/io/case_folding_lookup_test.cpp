#include "core/io/case_folding_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(ResolvePathIgnoringCase, FindsStoredPathsWrittenOnWindows) {
    TempDir dir;
    fs::create_directories(dir / "Music" / "Morning");
    dir.Write("Music/Morning/Bell.MP3", "x");
    const std::string root = dir.path().string();
    struct {
        std::string stored;
        std::optional<fs::path> expected;
    } cases[] = {
        {root + "/Music/Morning/Bell.MP3", dir / "Music/Morning/Bell.MP3"},
        {root + "/music/morning/bell.mp3", dir / "Music/Morning/Bell.MP3"},
        {root + "\\music\\morning\\bell.mp3", dir / "Music/Morning/Bell.MP3"},
        {root + "/music/morning/", dir / "Music/Morning/"},
        {root + "/music/evening/bell.mp3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        auto resolved = ResolvePathIgnoringCase(c.stored);
        ASSERT_EQ(resolved.has_value(), c.expected.has_value()) << c.stored;
        if (resolved) {
            EXPECT_TRUE(fs::equivalent(*resolved, *c.expected)) << c.stored << " -> " << *resolved;
        }
    }
}

}  // namespace
}  // namespace chimeon
