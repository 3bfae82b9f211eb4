#include "wavfile.h"

#include <cstring>

#include "core/fileio.h"

namespace {

uint32_t LittleEndian(const std::string& bytes, std::size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | uint8_t(bytes[at + std::size_t(i)]);
    return value;
}

} // namespace

bool ReadWavFile(const std::string& path, TWavData& wav) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 ||
        bytes.compare(8, 4, "WAVE") != 0) {
        return false;
    }
    bool haveFormat = false;
    // Chunks are walked rather than assumed at fixed places, so that a
    // header written wrongly shows up as a failure.
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = LittleEndian(bytes, at + 4, 4);
        const std::size_t body = at + 8;
        if (size > bytes.size() - body) return false;
        if (id == "fmt ") {
            if (size < 16 || LittleEndian(bytes, body, 2) != 1 || LittleEndian(bytes, body + 14, 2) != 16) return false;
            wav.channels = int(LittleEndian(bytes, body + 2, 2));
            wav.rate = int(LittleEndian(bytes, body + 4, 4));
            haveFormat = wav.channels > 0 && LittleEndian(bytes, body + 12, 2) == uint32_t(wav.channels) * 2 &&
                         LittleEndian(bytes, body + 8, 4) == uint32_t(wav.rate) * uint32_t(wav.channels) * 2;
        } else if (id == "data") {
            if (!haveFormat || size % (std::size_t(wav.channels) * 2) != 0) return false;
            wav.samples.resize(size / 2);
            std::memcpy(wav.samples.data(), bytes.data() + body, size);
            return LittleEndian(bytes, 4, 4) == bytes.size() - 8;
        }
        at = body + size + (size & 1);
    }
    return false;
}
