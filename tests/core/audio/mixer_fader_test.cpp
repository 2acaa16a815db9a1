#include "core/audio/mixer_fader.h"

#include <gtest/gtest.h>

#include "support/fake_mixer.h"

namespace chimeon {
namespace {

using test::FakeMixer;
using Values = std::vector<std::uint32_t>;

TEST(MixerFader, InitRefusesWhatItCannotShow) {
    struct {
        unsigned channels;
        std::uint32_t range;
        unsigned steps;
        FaderType type;
        bool ready;
    } cases[] = {
        {2, 65535, 65535, FaderType::kMain, true},  {1, 65535, 65535, FaderType::kMain, true},
        {1, 65535, 65535, FaderType::kLeft, false}, {1, 65535, 65535, FaderType::kBalance, false},
        {2, 65535, 0, FaderType::kMain, false},  // no steps: no division by zero, slider disabled
        {2, 0, 100, FaderType::kMain, false},    // no range
        {2, 100, 1000, FaderType::kMain, true},  // more steps than range: step size stays 1
    };
    for (const auto& c : cases) {
        FakeMixer control(c.channels, c.range, c.steps);
        MixerFader fader;
        EXPECT_EQ(fader.Init(&control, c.type), c.ready) << c.channels << " " << c.steps;
        if (fader.IsReady()) {
            EXPECT_GE(fader.StepSize(), 1u);
        } else {
            EXPECT_FALSE(fader.diagnostic().empty());
        }
    }
    MixerFader none;
    EXPECT_FALSE(none.Init(nullptr, FaderType::kMain));
}

TEST(MixerFader, PositionsAndValuesByFaderType) {
    struct {
        FaderType type;
        Values before;
        std::optional<int> position;
        int moveTo;
        Values after;
    } cases[] = {
        {FaderType::kMain, {30000, 15000}, 30000, 40000, {40000, 20000}},  // keeps the balance
        {FaderType::kMain, {10000, 40000}, 40000, 20000, {5000, 20000}},
        {FaderType::kLeft, {30000, 15000}, 30000, 100, {100, 15000}},
        {FaderType::kRight, {30000, 15000}, 15000, 100, {30000, 100}},
        {FaderType::kBalance, {30000, 15000}, 16383, 65535, {0, 30000}},
        {FaderType::kBalance, {30000, 15000}, 16383, 0, {30000, 0}},
        // a × b × 2 would overflow 32 bits at these values.
        {FaderType::kBalance, {65535, 65535}, 32767, 32767, {65535, 65534}},
        {FaderType::kBalance, {0, 0}, std::nullopt, 100, {0, 0}},
    };
    for (const auto& c : cases) {
        FakeMixer control(2, 65535, 65535);
        MixerFader fader;
        ASSERT_TRUE(fader.Init(&control, c.type));
        control.values = c.before;
        EXPECT_EQ(fader.ReadPosition(), c.position) << static_cast<int>(c.type);
        ASSERT_TRUE(fader.WritePosition(c.moveTo));
        EXPECT_EQ(control.values, c.after) << static_cast<int>(c.type) << " to " << c.moveTo;
    }
}

TEST(MixerFader, SilenceKeepsTheLastBalance) {
    FakeMixer control(2, 65535, 65535);
    MixerFader fader;
    ASSERT_TRUE(fader.Init(&control, FaderType::kMain));
    control.values = {10000, 40000};
    EXPECT_EQ(fader.ReadPosition(), 40000);
    control.values = {0, 0};
    EXPECT_EQ(fader.ReadPosition(), 0);
    EXPECT_FLOAT_EQ(fader.Balance(), 0.75f);
}

TEST(MixerFader, CoarseControlsUseTheirStepSize) {
    FakeMixer control(1, 100, 10);  // step size 10
    MixerFader fader;
    ASSERT_TRUE(fader.Init(&control, FaderType::kMain));
    control.values = {57};
    EXPECT_EQ(fader.ReadPosition(), 5);
    ASSERT_TRUE(fader.WritePosition(99));  // beyond the slider: clamped to its end
    EXPECT_EQ(control.values, Values{100});
    control.readable = false;
    EXPECT_EQ(fader.ReadPosition(), std::nullopt);
    EXPECT_FALSE(fader.WritePosition(3));
}

}  // namespace
}  // namespace chimeon
