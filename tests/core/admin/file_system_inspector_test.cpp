#include "core/admin/file_system_inspector.h"

#include <gtest/gtest.h>

#include <map>

#include "core/mp3/mp3_test_frames.h"
#include "support/temp_dir.h"

namespace chimeon {
namespace {

using Verdict = MediaStreamProbe::Verdict;

// What the media framework would say, by file name; anything not listed has a stream.
class FakeStreamProbe : public MediaStreamProbe {
public:
    std::map<std::string, Verdict> verdicts;
    Answer Examine(const std::string& file) override {
        auto found = verdicts.find(std::filesystem::path(file).filename().string());
        Verdict verdict = found == verdicts.end() ? Verdict::kHasStream : found->second;
        return {verdict, verdict == Verdict::kNoStream ? "not media" : ""};
    }
};

TEST(FileSystemInspector, AFileWithoutPlayableSoundIsTold) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "media");
    const std::string frame = test::Frame(test::FrameFields{}, 417);  // 128 kbit/s, 44100 Hz
    struct {
        const char* name;
        std::string bytes;
        Verdict framework;
        bool playable;
        std::optional<std::int64_t> seconds;
    } cases[] = {
        {"ring.mp3", std::string(frame).append(frame), Verdict::kHasStream, true, 0},
        {"empty.mp3", "", Verdict::kHasStream, false, {}},
        {"zeros.mp3", std::string(4096, '\0'), Verdict::kHasStream, false, {}},
        {"tag.mp3", "TAG" + std::string(125, ' '), Verdict::kHasStream, false, {}},
        {"noise.mp3", std::string(frame).append("random"), Verdict::kNoStream, false, {}},
        {"bell.wav", test::SilentWav(2), Verdict::kHasStream, true, 2},
        {"header.wav", test::SilentWav(0), Verdict::kHasStream, false, {}},
        {"clip.mid", "MThd", Verdict::kHasStream, true, {}},
        {"noise.ogg", "random", Verdict::kNoStream, false, {}},
        {"slow.avi", "RIFF", Verdict::kUnknown, true, {}},
    };
    FakeStreamProbe streams;
    for (const auto& c : cases) {
        dir.Write(std::string("media/") + c.name, c.bytes);
        streams.verdicts[c.name] = c.framework;
    }
    FileSystemInspector inspector(dir.path(), &streams);
    for (const auto& c : cases) {
        // Relative paths lie in the data directory, whatever the working directory.
        auto facts = inspector.Inspect(std::string("MEDIA\\") + c.name);
        ASSERT_EQ(facts.kind, MediaInspector::Kind::kFile) << c.name;
        auto sound = inspector.Listen(facts.resolved);
        EXPECT_EQ(sound.playable, c.playable) << c.name << ": " << sound.problem;
        EXPECT_EQ(sound.problem.empty(), c.playable) << c.name;
        EXPECT_EQ(sound.seconds, c.seconds) << c.name;
    }
}

}  // namespace
}  // namespace chimeon
