#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

class TSourceWindow;

// The fields of an MPEG audio frame header (ISO/IEC 11172-3, 13818-3).
struct TMpegHeader {
    int version = 0;      // 3 MPEG 1, 2 MPEG 2, 0 MPEG 2.5, 1 reserved
    int layer = 0;        // 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    int bitrateIndex = 0;
    int frequencyIndex = 0;
    int padding = 0;
    int channelMode = 0;

    // Bitrate in kbit/s; none for a reserved version or layer, 0 for free
    // format and the forbidden index.
    std::optional<int> BitrateKbps() const;
    // Sampling frequency in Hz; none for a reserved version or index.
    std::optional<int> FrequencyHz() const;
};

// True when the four bytes begin a frame header: an 11-bit sync, and a second
// byte other than 0xFF so that runs of 0xFF are never taken for a header.
bool IsFrameHeader(const unsigned char* bytes);
TMpegHeader ParseFrameHeader(const unsigned char* bytes);

// The first position from `from` on whose four bytes begin a frame header.
std::optional<int64_t> FindFrameHeader(TSourceWindow& window, int64_t from, TMpegHeader& header);
