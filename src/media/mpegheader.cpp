#include "media/mpegheader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/bytesource.h"

namespace {

using Row = std::array<int, 16>;
constexpr Row kMpeg1Layer1 = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr Row kMpeg1Layer2 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr Row kMpeg1Layer3 = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr Row kMpeg2Layer1 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
constexpr Row kMpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

constexpr std::size_t kFirstBlock = 1024;
constexpr std::size_t kScanBlock = 65536;

} // namespace

std::optional<int> TMpegHeader::BitrateKbps() const {
    if (version == 1 || layer == 0) return std::nullopt;
    const Row* row;
    if (version == 3) {
        row = layer == 3 ? &kMpeg1Layer1 : layer == 2 ? &kMpeg1Layer2 : &kMpeg1Layer3;
    } else {
        row = layer == 3 ? &kMpeg2Layer1 : &kMpeg2Layer23;
    }
    return (*row)[static_cast<std::size_t>(bitrateIndex)];
}

std::optional<int> TMpegHeader::FrequencyHz() const {
    static constexpr int kMpeg1[] = {44100, 48000, 32000};
    if (frequencyIndex == 3 || version == 1) return std::nullopt;
    const int base = kMpeg1[frequencyIndex];
    return version == 3 ? base : version == 2 ? base / 2 : base / 4;
}

bool IsFrameHeader(const unsigned char* b) { return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && b[1] != 0xFF; }

TMpegHeader ParseFrameHeader(const unsigned char* b) {
    TMpegHeader h;
    h.version = (b[1] >> 3) & 3;
    h.layer = (b[1] >> 1) & 3;
    h.bitrateIndex = b[2] >> 4;
    h.frequencyIndex = (b[2] >> 2) & 3;
    h.padding = (b[2] >> 1) & 1;
    h.channelMode = b[3] >> 6;
    return h;
}

std::optional<int64_t> FindFrameHeader(TSourceWindow& window, int64_t from, TMpegHeader& header) {
    // The header is usually right where the scan starts, in bytes the window
    // already holds: begin small and widen the blocks as the search goes on.
    std::size_t blockSize = kFirstBlock;
    for (int64_t pos = from;; blockSize = std::min(blockSize * 4, kScanBlock)) {
        const std::string_view block = window.View(pos, blockSize);
        if (block.size() < 4) return std::nullopt;
        const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
        const std::size_t last = block.size() - 4; // last position with four bytes in this block
        for (std::size_t i = 0; i <= last;) {
            const void* ff = std::memchr(bytes + i, 0xFF, last + 1 - i);
            if (ff == nullptr) break;
            i = static_cast<std::size_t>(static_cast<const unsigned char*>(ff) - bytes);
            if (IsFrameHeader(bytes + i)) {
                header = ParseFrameHeader(bytes + i);
                return pos + static_cast<int64_t>(i);
            }
            ++i;
        }
        pos += static_cast<int64_t>(last + 1);
    }
}
