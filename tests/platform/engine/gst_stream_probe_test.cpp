#include "platform/engine/gst_stream_probe.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace chimeon {
namespace {

// (GStreamer's plugin cache is placed in the build folder by this test program's player tests.)
TEST(GstDiscovererStreamProbe, TellsMediaFromWhatOnlyHasItsName) {
    test::TempDir dir;
    dir.Write("bell.bin", test::SilentWav(1));  // found by its contents, whatever its name
    dir.Write("noise.ogg", std::string(4096, '\x5a'));
    dir.Write("notes.mid", "MThd");
    using Verdict = MediaStreamProbe::Verdict;
    const std::pair<const char*, Verdict> cases[] = {{"bell.bin", Verdict::kHasStream},
                                                     {"noise.ogg", Verdict::kNoStream},
                                                     {"notes.mid", Verdict::kNoStream},
                                                     {"missing.wav", Verdict::kNoStream}};
    GstDiscovererStreamProbe probe;
    for (const auto& [name, verdict] : cases) {
        auto answer = probe.Examine((dir / name).string());
        EXPECT_EQ(answer.verdict, verdict) << name << ": " << answer.problem;
        EXPECT_EQ(answer.problem.empty(), verdict == Verdict::kHasStream) << name;
        EXPECT_EQ(answer.problem.find('\n'), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace chimeon
