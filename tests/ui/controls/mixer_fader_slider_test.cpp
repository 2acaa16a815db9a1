#include "ui/controls/mixer_fader_slider.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/audio/alsa_master_mixer.h"
#include "support/pulse_null_sink.h"
#include "ui/editing/ensure_editor_test_app.h"

namespace chimeon {
namespace {

// A mixer control held in memory; an outside change is announced through a pipe, the way a sound
// card's mixer makes its descriptor readable.
class PipedMixerControl : public MixerControl {
public:
    PipedMixerControl(unsigned channels, std::uint32_t range, unsigned steps)
        : values(channels, 0), channels_(channels), range_(range), steps_(steps) {
        if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
            pipe_[0] = pipe_[1] = -1;
        }
    }
    ~PipedMixerControl() override {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }
    unsigned Channels() const override { return channels_; }
    std::uint32_t Range() const override { return range_; }
    unsigned Steps() const override { return steps_; }
    bool Read(std::vector<std::uint32_t>& out) override {
        out = values;
        return readable;
    }
    bool Write(const std::vector<std::uint32_t>& in) override {
        values = in;
        ++writes;
        return true;
    }
    std::optional<bool> IsMuted() override { return std::nullopt; }

    // Another program sets the volume.
    void ChangeOutside(std::vector<std::uint32_t> newValues) {
        values = std::move(newValues);
        char byte = 1;
        EXPECT_EQ(::write(pipe_[1], &byte, 1), 1);
    }
    void CloseWriter() {
        ::close(pipe_[1]);
        pipe_[1] = -1;
    }
    MixerFaderSlider::ChangeEvents Events() {
        return {{pipe_[0]}, [this] {
                    char buffer[64];
                    bool any = false;
                    while (::read(pipe_[0], buffer, sizeof buffer) > 0) {
                        any = true;
                    }
                    return any;
                }};
    }

    std::vector<std::uint32_t> values;
    bool readable = true;
    int writes = 0;

private:
    unsigned channels_;
    std::uint32_t range_;
    unsigned steps_;
    int pipe_[2] = {-1, -1};
};

class MixerFaderSliderTest : public testing::Test {
protected:
    void SetUp() override { test::EnsureEditorTestApp(); }
};

TEST_F(MixerFaderSliderTest, WithoutAUsableControlTheSliderIsDisabledAndInert) {
    struct {
        unsigned channels;
        std::uint32_t range;
        unsigned steps;
        FaderType type;
    } cases[] = {
        {2, 65535, 0, FaderType::kMain},      // no steps: nothing to divide by
        {2, 0, 100, FaderType::kMain},        // no range
        {1, 65535, 65535, FaderType::kLeft},  // one channel, not MAIN
        {1, 65535, 65535, FaderType::kBalance},
    };
    for (const auto& c : cases) {
        PipedMixerControl control(c.channels, c.range, c.steps);
        MixerFaderSlider slider;
        EXPECT_FALSE(slider.Init(&control, c.type, control.Events())) << c.steps;
        EXPECT_FALSE(slider.isEnabled());
        EXPECT_FALSE(slider.diagnostic().empty());
        slider.triggerAction(QAbstractSlider::SliderPageStepAdd);
        slider.WriteSliderValue();
        control.ChangeOutside({5, 5});
        QCoreApplication::processEvents();
        EXPECT_EQ(control.writes, 0);
    }
    MixerFaderSlider none;
    EXPECT_FALSE(none.Init(static_cast<MixerControl*>(nullptr)));
    EXPECT_FALSE(none.isEnabled());
    EXPECT_FALSE(none.Init(static_cast<AlsaMasterMixer*>(nullptr)));
}

TEST_F(MixerFaderSliderTest, ShowsTheLouderChannelAndKeepsTheBalanceWhenMoved) {
    PipedMixerControl control(2, 65535, 65535);
    control.values = {30000, 15000};
    MixerFaderSlider slider;
    ASSERT_TRUE(slider.Init(&control, FaderType::kMain, control.Events())) << slider.diagnostic();
    EXPECT_TRUE(slider.isEnabled());
    EXPECT_EQ(slider.maximum(), 65535);
    EXPECT_EQ(slider.value(), 30000);

    // Dragging writes as it goes and once more at the end.
    slider.setSliderDown(true);
    slider.setSliderPosition(40000);
    EXPECT_EQ(control.values, (std::vector<std::uint32_t>{40000, 20000}));
    slider.setSliderDown(false);
    EXPECT_EQ(control.values, (std::vector<std::uint32_t>{40000, 20000}));
    EXPECT_GE(control.writes, 2);

    // Page and arrow keys reach the mixer too.
    struct {
        Qt::Key key;
        int expected;
    } keys[] = {{Qt::Key_PageDown, 40000 - slider.pageStep()},
                {Qt::Key_Up, 40000 - slider.pageStep() + slider.singleStep()},
                {Qt::Key_End, 65535},
                {Qt::Key_Home, 0}};
    for (const auto& k : keys) {
        QTest::keyClick(&slider, k.key);
        EXPECT_EQ(slider.value(), k.expected) << k.key;
        EXPECT_EQ(control.values[0], static_cast<std::uint32_t>(k.expected)) << k.key;
    }
}

TEST_F(MixerFaderSliderTest, FollowsOutsideChangesThroughTheEventLoop) {
    PipedMixerControl control(2, 100, 100);
    control.values = {50, 50};
    MixerFaderSlider slider(Qt::Vertical);
    ASSERT_TRUE(slider.Init(&control, FaderType::kMain, control.Events()));
    EXPECT_EQ(slider.value(), 50);
    const int writes = control.writes;

    QSignalSpy changed(&slider, &MixerFaderSlider::MixerChanged);
    control.ChangeOutside({20, 80});
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(slider.value(), 80);
    EXPECT_EQ(control.writes, writes);  // showing a change writes nothing back

    // While the operator drags, the drag decides where the thumb is.
    slider.setSliderDown(true);
    control.ChangeOutside({10, 10});
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(slider.value(), 80);
    slider.setSliderDown(false);
}

TEST_F(MixerFaderSliderTest, AHungUpDescriptorDoesNotKeepTheWindowBusy) {
    PipedMixerControl control(2, 100, 100);
    control.values = {40, 40};
    MixerFaderSlider slider;
    ASSERT_TRUE(slider.Init(&control, FaderType::kMain, control.Events()));
    QSignalSpy changed(&slider, &MixerFaderSlider::MixerChanged);
    control.CloseWriter();  // the other end went away: the descriptor reports a hang-up for ever
    ASSERT_TRUE(changed.wait(5000));
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(changed.count(), 1);
    slider.triggerAction(QAbstractSlider::SliderToMaximum);  // setting the volume still works
    EXPECT_EQ(control.values, (std::vector<std::uint32_t>{100, 100}));
}

TEST_F(MixerFaderSliderTest, UnreadableAtFirstComesAliveWithTheFirstReading) {
    PipedMixerControl control(2, 100, 100);
    control.readable = false;
    MixerFaderSlider slider;
    EXPECT_TRUE(slider.Init(&control, FaderType::kMain, control.Events()));
    EXPECT_FALSE(slider.isEnabled());

    QSignalSpy changed(&slider, &MixerFaderSlider::MixerChanged);
    control.readable = true;
    control.ChangeOutside({0, 70});
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(slider.isEnabled());
    EXPECT_EQ(slider.value(), 70);
}

TEST_F(MixerFaderSliderTest, MonoAndBalanceFaders) {
    PipedMixerControl mono(1, 1000, 100);
    mono.values = {500};
    MixerFaderSlider main;
    ASSERT_TRUE(main.Init(&mono));  // no change events: still shows and sets
    EXPECT_EQ(main.value(), 50);
    main.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(mono.values, (std::vector<std::uint32_t>{1000}));

    PipedMixerControl stereo(2, 100, 100);
    stereo.values = {100, 50};
    MixerFaderSlider balance;
    ASSERT_TRUE(balance.Init(&stereo, FaderType::kBalance));
    EXPECT_EQ(balance.value(), 25);  // (−0.5 + 1) × 100 × 0.5
}

// The real master volume of ALSA's "default" mixer, reaching a private PulseAudio null sink.
TEST_F(MixerFaderSliderTest, FollowsAndSetsTheRealMasterVolume) {
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        GTEST_SKIP() << "no PulseAudio null sink to test the master volume against: " << why;
    }
    snd_config_update_free_global();  // read ALSA's configuration again now that the server runs
    std::string error;
    auto mixer = AlsaMasterMixer::Open("default", "Master", &error);
    if (!mixer) {
        GTEST_SKIP() << "ALSA's default mixer does not reach PulseAudio (libasound2-plugins?): "
                     << error;
    }
    MixerFaderSlider slider;
    ASSERT_TRUE(slider.Init(mixer.get())) << slider.diagnostic();
    ASSERT_TRUE(slider.isEnabled());
    const int steps = slider.maximum();
    const int tolerance = steps / 100 + 1;

    ASSERT_TRUE(
        test::PulseNullSink::Pactl("set-sink-volume " + test::PulseNullSink::SinkName() + " 50%"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return std::abs(slider.value() - steps / 2) <= tolerance; }, 5000))
        << "the slider shows " << slider.value() << " of " << steps;

    slider.setSliderDown(true);
    slider.setSliderPosition(steps / 4);
    slider.setSliderDown(false);
    auto volume = test::PulseNullSink::SinkVolume();
    ASSERT_TRUE(volume);
    EXPECT_NEAR(*volume, 65536 / 4, 700);
    // The mixer's echo of our own write leaves the slider where the operator put it.
    QTest::qWait(200);
    EXPECT_NEAR(slider.value(), steps / 4, tolerance);
}

}  // namespace
}  // namespace chimeon
