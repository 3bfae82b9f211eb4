#include "platform/mixer.h"

#include <gtest/gtest.h>

TEST(MixerScale, EndsMapToTheControlsEndsAndHalfwayRoundsToTheNearestStep) {
    EXPECT_EQ(ScaleToControl(0, 0, 87), 0);
    EXPECT_EQ(ScaleToControl(65535, 0, 87), 87);
    EXPECT_EQ(ScaleToControl(0, -100, 100), -100);
    EXPECT_EQ(ScaleToControl(65535, -100, 100), 100);
    EXPECT_EQ(ScaleToControl(32767, 0, 1), 0);
    EXPECT_EQ(ScaleToControl(32768, 0, 1), 1);
    EXPECT_EQ(ScaleToControl(32768, -100, 100), 0);

    EXPECT_EQ(ScaleFromControl(0, 0, 87), 0u);
    EXPECT_EQ(ScaleFromControl(87, 0, 87), 65535u);
    EXPECT_EQ(ScaleFromControl(0, -100, 100), 32768u);
    EXPECT_EQ(ScaleFromControl(1, 0, 2), 32768u);
}

TEST(MixerScale, OddRangesGiveValuesInsideTheirBounds) {
    // A control reporting a value outside its own range, or an empty range.
    EXPECT_EQ(ScaleFromControl(200, 0, 100), 65535u);
    EXPECT_EQ(ScaleFromControl(-5, 0, 100), 0u);
    EXPECT_EQ(ScaleFromControl(7, 7, 7), 0u);
    EXPECT_EQ(ScaleToControl(40000, 7, 7), 7);
}

TEST(MixerScale, EveryControlStepSurvivesARoundTrip) {
    const long ranges[][2] = {{0, 1}, {0, 31}, {0, 87}, {-10239, 400}, {0, 65535}};
    for (const auto& range : ranges) {
        for (long step = range[0]; step <= range[1]; ++step) {
            const uint32_t scaled = ScaleFromControl(step, range[0], range[1]);
            ASSERT_LE(scaled, 65535u);
            ASSERT_EQ(ScaleToControl(uint16_t(scaled), range[0], range[1]), step) << range[0] << ".." << range[1];
        }
    }
}

TEST(AlsaMixer, UnknownLinesAreRejectedBeforeAnyDeviceIsOpened) {
    auto mixer = MakeAlsaMixer();
    uint32_t value = 99;
    EXPECT_EQ(mixer->GetMasterVolume(4, value), TMixerResult::NoLine);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(mixer->GetMasterVolume(-1, value), TMixerResult::NoLine);
    EXPECT_EQ(mixer->SetMasterVolume(4, 1000), TMixerResult::NoLine);
}

TEST(AlsaMixer, WithoutASoundCardThereIsNothingToSayAndNothingIsPrinted) {
    auto mixer = MakeAlsaMixer();
    testing::internal::CaptureStderr();
    uint32_t value = 777;
    const TMixerResult got = mixer->GetMasterVolume(0, value);
    const TMixerResult set = mixer->SetMasterVolume(2, 30000);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    if (got != TMixerResult::NoMixer) GTEST_SKIP() << "this machine has a mixer";
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(set, TMixerResult::NoMixer);
}
