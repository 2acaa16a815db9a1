#include "ui/controls/mixer_fader_slider.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/audio/alsa_master_mixer.h"
#include "support/fake_mixer.h"
#include "support/pulse_null_sink.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

using test::FakeMixer;
using Values = std::vector<std::uint32_t>;

MixerFaderSlider::ChangeEvents EventsOf(FakeMixer& mixer) {
    return {{mixer.ChangeDescriptor()}, [&mixer] { return mixer.TakeChanges(); }};
}

struct MixerFaderSliderTest : testing::Test, test::WithApp {};

TEST_F(MixerFaderSliderTest, WithoutAUsableControlTheSliderIsDisabledAndInert) {
    FakeMixer noSteps(2, 65535, 0);
    MixerFaderSlider slider;
    EXPECT_FALSE(slider.Init(&noSteps, FaderType::kMain, EventsOf(noSteps)));
    EXPECT_FALSE(slider.isEnabled());
    EXPECT_FALSE(slider.diagnostic().empty());
    slider.triggerAction(QAbstractSlider::SliderPageStepAdd);
    slider.WriteSliderValue();
    noSteps.ChangeOutside({5, 5});
    QCoreApplication::processEvents();
    EXPECT_EQ(noSteps.writes, 0);

    MixerFaderSlider none;
    EXPECT_FALSE(none.Init(static_cast<MixerControl*>(nullptr)));
    EXPECT_FALSE(none.isEnabled());
    EXPECT_FALSE(none.Init(static_cast<AlsaMasterMixer*>(nullptr)));
}

TEST_F(MixerFaderSliderTest, FollowsOutsideChangesAndDraggingAndKeysReachTheMixer) {
    FakeMixer control(2, 65535, 65535);
    control.readable = false;  // unreadable at first: comes alive with the first reading
    MixerFaderSlider slider(Qt::Vertical);
    EXPECT_TRUE(slider.Init(&control, FaderType::kMain, EventsOf(control)));
    EXPECT_FALSE(slider.isEnabled());

    QSignalSpy changed(&slider, &MixerFaderSlider::MixerChanged);
    control.readable = true;
    control.ChangeOutside({30000, 15000});
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(slider.isEnabled());
    EXPECT_EQ(slider.value(), 30000);
    EXPECT_EQ(control.writes, 0);  // showing a change writes nothing back

    // Dragging writes as it goes, the balance kept, and once more at the end; while the operator
    // drags, the drag decides where the thumb is.
    slider.setSliderDown(true);
    slider.setSliderPosition(40000);
    EXPECT_EQ(control.values, (Values{40000, 20000}));
    control.ChangeOutside({10, 10});
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(slider.value(), 40000);
    slider.setSliderDown(false);
    EXPECT_GE(control.writes, 2);

    for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_Up, Qt::Key_End, Qt::Key_Home}) {
        QTest::keyClick(&slider, key);
        EXPECT_EQ(control.values[0], static_cast<std::uint32_t>(slider.value())) << key;
    }
    EXPECT_EQ(slider.value(), 0);
}

TEST_F(MixerFaderSliderTest, AHungUpDescriptorDoesNotKeepTheWindowBusy) {
    FakeMixer control;
    MixerFaderSlider slider;
    ASSERT_TRUE(slider.Init(&control, FaderType::kMain, EventsOf(control)));
    QSignalSpy changed(&slider, &MixerFaderSlider::MixerChanged);
    control.CloseWriter();  // the descriptor reports a hang-up for ever
    ASSERT_TRUE(changed.wait(5000));
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(changed.count(), 1);
    slider.triggerAction(QAbstractSlider::SliderToMaximum);  // setting the volume still works
    EXPECT_EQ(control.values, (Values{100, 100}));

    FakeMixer mono(1, 1000, 100);  // no change events: still shows and sets
    mono.values = {500};
    MixerFaderSlider main;
    ASSERT_TRUE(main.Init(&mono));
    EXPECT_EQ(main.value(), 50);
    main.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(mono.values, Values{1000});
}

// The real master volume of ALSA's "default" mixer, reaching a private PulseAudio null sink.
TEST_F(MixerFaderSliderTest, FollowsAndSetsTheRealMasterVolume) {
    std::string why;
    if (!test::PulseNullSink::Start(&why)) {
        GTEST_SKIP() << "no PulseAudio null sink to test the master volume against: " << why;
    }
    snd_config_update_free_global();  // read ALSA's configuration again now that the server runs
    std::string error;
    EXPECT_EQ(AlsaMasterMixer::Open("default", "No Such Element", &error), nullptr);
    EXPECT_FALSE(error.empty());
    auto mixer = AlsaMasterMixer::Open("default", "Master", &error);
    if (!mixer) {
        GTEST_SKIP() << "ALSA's default mixer does not reach PulseAudio (libasound2-plugins?): "
                     << error;
    }
    EXPECT_EQ(mixer->IsMuted(), false);
    MixerFaderSlider slider;
    ASSERT_TRUE(slider.Init(mixer.get())) << slider.diagnostic();
    const int steps = slider.maximum();
    const int tolerance = steps / 100 + 1;

    const std::string sink = test::PulseNullSink::SinkName();
    ASSERT_TRUE(test::PulseNullSink::Pactl("set-sink-volume " + sink + " 50%"));
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
