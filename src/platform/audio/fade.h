#pragma once

#include <cstdint>
#include <vector>

class TAudioOutput;

// A pause, stop or seek that cut the sound in the middle of a wave would
// click: the players fade the sound out over about 10 ms before them, and in
// over as long when it resumes. Sound is signed 16-bit stereo here.

// Frames of one fade at `rate`.
long FadeFrames(int rate);

// Ramps up the first FadeFrames(rate) of `frames` frames from silence.
void FadeIn(int16_t* samples, long frames, int rate);

// The newest sound handed to an output, so that what the output gives back
// unheard can be handed over again.
class TSoundTail {
public:
    void Add(const int16_t* samples, long frames);
    long Frames() const;
    // Removes the newest `frames` frames (at most what is kept) and returns them.
    std::vector<int16_t> TakeNewest(long frames);
    void Clear() { samples_.clear(); }

private:
    std::vector<int16_t> samples_;
};

// Ends the sound of `output` without a click. What it holds unheard is taken
// back as far as it lets, and with `pending` (the sound that comes next)
// after it, handed over again, fading out. The output plays what it holds,
// ending in the fade: it is neither paused nor reset before that is heard.
// `pending` keeps what follows the fade. Returns how far the written end
// moved: the frames handed over less those taken back.
long FadeOut(TAudioOutput& output, TSoundTail& tail, int rate, std::vector<int16_t>& pending);
