#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Sound made by the tests and encoded with FFmpeg's encoders into real MP3,
// MP2 and WMA files.
namespace audiogen {

// `seconds` of a stereo sine: `leftHz` on the left, `rightHz` on the right (0
// gives silence on that side), amplitude about half of full scale; signed
// 16-bit samples, interleaved.
std::vector<int16_t> Tone(int rate, double seconds, double leftHz, double rightHz);

// `seconds` of a mono sine at `hz`, amplitude about half of full scale.
std::vector<int16_t> MonoTone(int rate, double seconds, double hz);

// Encodes interleaved samples of `channels` channels (1 or 2) into a file: "mp3" (LAME, with the
// LAME/Xing header that tells decoders the exact length), "mp2" or "wma"
// (WMA version 2), at `bitrate` bits per second. The MP2 and WMA encoders
// take whole frames only and cannot be flushed, so silence follows the sound
// to push the encoder's look-ahead out and to fill the last frame: those
// files decode to more samples than were given (MP2 with the encoder's delay
// of silence in front; WMA through FFmpeg's decoder without its first 2048
// frames). False with `error` set when it could not.
bool Encode(const std::string& path, const std::string& format, const std::vector<int16_t>& samples, int rate,
            int bitrate, std::string& error, int channels = 2);

// Seconds of sound FFmpeg's own decoders make of a file (the reference other
// players are held against); -1 when it cannot be read.
double DecodedSeconds(const std::string& path);

} // namespace audiogen
