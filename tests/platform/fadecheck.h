#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// A recording of an interrupted play held against the uninterrupted one
// (both signed 16-bit stereo): they may differ only where the sound faded.
namespace fadecheck {

// Frames of one fade at 44.1 kHz, as the players make it.
constexpr long kFadeFrames = 441;

struct Span {
    long first, last;  // frames, both included
};

// Frames where the two differ, gathered into spans.
inline std::vector<Span> DifferingSpans(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    std::vector<Span> spans;
    const long frames = long(std::min(got.size(), want.size()) / 2);
    for (long i = 0; i < frames; ++i) {
        if (got[2 * i] == want[2 * i] && got[2 * i + 1] == want[2 * i + 1]) continue;
        // A ramp crosses zero now and then, where a sample matches by chance.
        if (!spans.empty() && i - spans.back().last < 16) spans.back().last = i;
        else spans.push_back({i, i});
    }
    return spans;
}

// Each place where the sound was cut and went on is a fade out to silence
// and a fade in from it, no louder than the sound and no longer than two
// fades; `cuts` of them are expected.
inline void ExpectFadesOnly(const std::vector<int16_t>& got, const std::vector<int16_t>& want, std::size_t cuts) {
    ASSERT_EQ(got.size(), want.size());
    const std::vector<Span> spans = DifferingSpans(got, want);
    ASSERT_EQ(spans.size(), cuts);
    for (const Span& span : spans) {
        SCOPED_TRACE(span.first);
        EXPECT_LE(span.last - span.first, 2 * kFadeFrames);
        bool silent = false;
        for (long i = span.first; i <= span.last; ++i) {
            for (int c = 0; c < 2; ++c) EXPECT_LE(std::abs(got[2 * i + c]), std::abs(want[2 * i + c]) + 1);
            silent = silent || (got[2 * i] == 0 && got[2 * i + 1] == 0);
        }
        EXPECT_TRUE(silent) << "the sound does not fall silent where it was cut";
    }
}

// A recording that ends in a fade falls to silence without a jump.
inline void ExpectFadedEnd(const std::vector<int16_t>& samples) {
    ASSERT_GE(samples.size(), std::size_t(2 * kFadeFrames));
    EXPECT_EQ(samples[samples.size() - 2], 0);
    EXPECT_EQ(samples[samples.size() - 1], 0);
    long steps = 0;  // a cut mid-wave jumps by thousands from one sample to the next
    for (std::size_t i = samples.size() - 2 * kFadeFrames; i + 2 < samples.size(); ++i)
        steps = std::max<long>(steps, std::abs(samples[i + 2] - samples[i]));
    EXPECT_LT(steps, 2000);
}

} // namespace fadecheck
