#include "core/engine/operator_notices.h"

#include <gtest/gtest.h>

#include "core/engine/audio_output_watch.h"

namespace chimeon {
namespace {

TEST(OperatorNoticesTest, EveryProblemIsShownMostUrgentFirstUntilCleared) {
    OperatorNotices notices;
    EXPECT_TRUE(notices.Set(NoticeTopic::kPlayHistory, "history"));
    EXPECT_FALSE(notices.Set(NoticeTopic::kPlayHistory, "history"));  // nothing new to show
    EXPECT_TRUE(notices.Set(NoticeTopic::kAudioOutput, "audio"));
    EXPECT_EQ(notices.Text(), "audio\nhistory");
    EXPECT_TRUE(notices.Set(NoticeTopic::kAudioOutput, ""));
    EXPECT_EQ(notices.Text(), "history");
    EXPECT_EQ(ReportedNotice(NoticeTopic::kPlayHistory, ""), "");
    EXPECT_EQ(ReportedNotice(NoticeTopic::kPlayHistory, "disk full"),
              std::string(NoticeLead(NoticeTopic::kPlayHistory)) + "（disk full）");
}

TEST(AudioOutputWatchTest, NewestNewsOfTheOutputWinsAndTheVolumeIsSaidWhenItSilences) {
    AudioOutputWatch watch;
    const std::string noOutput = ReportedNotice(NoticeTopic::kAudioOutput, "no card");
    watch.MasterVolumeRead({.muted = true, .atZero = true});
    EXPECT_EQ(watch.Notice(), "主音量已静音，铃声和节目听不到！");
    watch.ProbeAnswered(watch.ProbeStarted(), "no card");
    EXPECT_EQ(watch.Notice(), noOutput);  // no output at all comes first

    // A probe asked before the player's latest Open is older news than the Open.
    const std::uint64_t early = watch.ProbeStarted();
    watch.PlayerOpened(OpenFailure::kNone, "");
    EXPECT_FALSE(watch.ProbeAnswered(early, "no card"));
    EXPECT_FALSE(watch.OutputMissing());
    watch.PlayerOpened(OpenFailure::kFile, "bad file");  // says nothing of the output
    EXPECT_FALSE(watch.OutputMissing());
    watch.PlayerOpened(OpenFailure::kNoAudioOutput, "");
    EXPECT_EQ(watch.Notice(), NoticeLead(NoticeTopic::kAudioOutput));
    watch.ProbeAnswered(watch.ProbeStarted(), "");
    watch.MasterVolumeRead({.muted = false, .atZero = true});
    EXPECT_EQ(watch.Notice(), "主音量为零，铃声和节目听不到！");
    watch.MasterVolumeRead({});
    EXPECT_EQ(watch.Notice(), "");
}

}  // namespace
}  // namespace chimeon
