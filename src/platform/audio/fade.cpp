#include "platform/audio/fade.h"

#include <algorithm>
#include <chrono>

#include "platform/audio/audiooutput.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kFadeMs = 10;
// Two seconds at 48 kHz: more than any device is asked to buffer.
constexpr std::size_t kTailFrames = 96000;
// A device that stalls must not hold a stop up.
constexpr auto kWriteWait = std::chrono::milliseconds(50);
constexpr int kWriteWaitMs = 20;

void Ramp(int16_t* samples, long frames, long length, bool up) {
    for (long i = 0; i < std::min(frames, length); ++i) {
        const long step = up ? i : length - 1 - i;
        samples[2 * i] = int16_t(samples[2 * i] * step / length);
        samples[2 * i + 1] = int16_t(samples[2 * i + 1] * step / length);
    }
}

} // namespace

long FadeFrames(int rate) { return std::max(1L, long(rate) * kFadeMs / 1000); }

void FadeIn(int16_t* samples, long frames, int rate) { Ramp(samples, frames, FadeFrames(rate), true); }

void TSoundTail::Add(const int16_t* samples, long frames) {
    samples_.insert(samples_.end(), samples, samples + 2 * frames);
    // Trimmed now and then rather than on every call.
    if (samples_.size() > 4 * kTailFrames) samples_.erase(samples_.begin(), samples_.end() - 2 * kTailFrames);
}

long TSoundTail::Frames() const { return long(std::min(samples_.size() / 2, kTailFrames)); }

std::vector<int16_t> TSoundTail::TakeNewest(long frames) {
    const std::size_t count = 2 * std::size_t(std::clamp(frames, 0L, Frames()));
    std::vector<int16_t> newest(samples_.end() - long(count), samples_.end());
    samples_.resize(samples_.size() - count);
    return newest;
}

long FadeOut(TAudioOutput& output, TSoundTail& tail, int rate, std::vector<int16_t>& pending) {
    const TClock::time_point deadline = TClock::now() + kWriteWait;
    const long back = output.TakeBack(std::min(output.Delay(), tail.Frames()));
    std::vector<int16_t> sound = tail.TakeNewest(back);
    sound.insert(sound.end(), pending.begin(), pending.end());
    const long length = std::min(long(sound.size() / 2), FadeFrames(rate));
    Ramp(sound.data(), length, length, false);
    long written = 0;
    while (written < length && TClock::now() < deadline) {
        const long taken = output.Write(sound.data() + 2 * written, length - written, kWriteWaitMs);
        if (taken < 0) break;
        tail.Add(sound.data() + 2 * written, taken);
        written += taken;
    }
    output.Finish();
    pending.assign(sound.begin() + 2 * written, sound.end());
    return written - back;
}
