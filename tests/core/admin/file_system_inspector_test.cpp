#include "core/admin/file_system_inspector.h"

#include <gtest/gtest.h>

#include "core/mp3/mp3_test_frames.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

// GStreamer's word, faked by name: "noise.*" holds no stream, "slow.*" gets no answer in time.
class FakeStreamProbe : public MediaStreamProbe {
public:
    Answer Examine(const std::string& file) override {
        std::string name = std::filesystem::path(file).stem().string();
        if (name == "noise") {
            return {Verdict::kNoStream, "not media"};
        }
        return {name == "slow" ? Verdict::kUnknown : Verdict::kHasStream, ""};
    }
};

TEST(FileSystemInspector, AFileWithoutPlayableSoundIsTold) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "media");
    const std::string frame = test::Frame(test::FrameFields{}, 417);
    // What plays gets its measured length, if any; what does not gets nothing (and a reason).
    const std::tuple<const char*, std::string, bool, std::optional<std::int64_t>> cases[] = {
        {"bell.wav", test::SilentWav(2), true, 2},
        {"header.wav", test::SilentWav(0), false, {}},
        {"zeros.mp3", std::string(4096, '\0'), false, {}},
        {"noise.mp3", frame + "random", false, {}},  // the frame walk is fooled, GStreamer not
        {"clip.mid", "MThd", true, {}},
        {"slow.avi", "RIFF", true, {}},
    };
    FakeStreamProbe streams;
    FileSystemInspector inspector(dir.path(), &streams);
    for (const auto& [name, bytes, playable, seconds] : cases) {
        dir.Write(std::string("media/") + name, bytes);
        // Relative paths lie in the data directory, whatever the working directory.
        auto facts = inspector.Inspect(std::string("MEDIA\\") + name);
        ASSERT_EQ(facts.kind, MediaInspector::Kind::kFile) << name;
        auto sound = inspector.Listen(facts.resolved);
        EXPECT_EQ(sound.playable, playable) << name;
        EXPECT_EQ(sound.problem.empty(), playable) << name;
        EXPECT_EQ(sound.seconds, seconds) << name;
    }
}

}  // namespace
}  // namespace chimeon
