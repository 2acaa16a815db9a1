#include "platform/audio/alsa_master_mixer.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <poll.h>

#include "core/audio/mixer_fader.h"
#include "support/pulse_null_sink.h"

namespace chimeon {
namespace {

using test::PulseNullSink;

class AlsaMasterMixerTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!PulseNullSink::Start(&why)) {
            GTEST_SKIP() << "no PulseAudio null sink to test the mixer against: " << why;
        }
        snd_config_update_free_global();  // read ALSA's configuration again now that the server
                                          // runs
        std::string error;
        mixer_ = AlsaMasterMixer::Open("default", "Master", &error);
        if (!mixer_) {
            GTEST_SKIP() << "ALSA's default mixer does not reach PulseAudio (libasound2-plugins?): "
                         << error;
        }
    }

    // Waits (bounded) for the mixer's descriptors to signal, then takes the events.
    bool WaitForChange() {
        auto fds = mixer_->PollDescriptors();
        std::vector<pollfd> watch;
        for (int fd : fds) {
            watch.push_back({fd, POLLIN, 0});
        }
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (::poll(watch.data(), watch.size(), 100) > 0) {
                mixer_->HandleEvents();
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<AlsaMasterMixer> mixer_;
};

TEST_F(AlsaMasterMixerTest, SliderFollowsAnOutsideChangeAndMovesTheSink) {
    MixerFader fader;
    ASSERT_TRUE(fader.Init(mixer_.get(), FaderType::kMain)) << fader.diagnostic();
    ASSERT_TRUE(PulseNullSink::Pactl("set-sink-volume " + PulseNullSink::SinkName() + " 50%"));
    ASSERT_TRUE(WaitForChange()) << "no change event through the poll descriptors";
    auto position = fader.ReadPosition();
    ASSERT_TRUE(position);
    EXPECT_NEAR(*position, fader.Steps() / 2, fader.Steps() / 100 + 1);

    ASSERT_TRUE(fader.WritePosition(static_cast<int>(fader.Steps() / 4)));
    auto volume = PulseNullSink::SinkVolume();
    ASSERT_TRUE(volume);
    EXPECT_NEAR(*volume, 65536 / 4, 700);
    EXPECT_EQ(mixer_->IsMuted(), false);
}

TEST(AlsaMasterMixerOpen, MissingElementIsAClearError) {
    std::string error;
    EXPECT_EQ(AlsaMasterMixer::Open("default", "No Such Element", &error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace chimeon
