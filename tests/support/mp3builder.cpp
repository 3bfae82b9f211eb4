#include "mp3builder.h"

#include <fstream>

namespace mp3 {

std::string BigEndian32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string BigEndian24(uint32_t v) { return {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)}; }

std::string SyncSafe(uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F), static_cast<char>((v >> 7) & 0x7F),
            static_cast<char>(v & 0x7F)};
}

std::string Frame(std::string_view header, std::size_t length) {
    std::string frame(header);
    frame.resize(length, '\0');
    return frame;
}

std::string Frames(int count) {
    // 128 kbit/s at 44.1 kHz: 417 bytes, and 418 with the padding bit, which
    // an encoder sets on about every other frame.
    std::string out;
    for (int i = 0; i < count; ++i)
        out += (i % 2 == 0) ? Frame("\xFF\xFB\x90\x64", 417) : Frame("\xFF\xFB\x92\x64", 418);
    return out;
}

namespace {

std::vector<uint32_t> CodePoints(std::string_view utf8) {
    std::vector<uint32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t cp = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < length && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        points.push_back(cp);
        i += length;
    }
    return points;
}

void AppendUnit(std::string& out, uint32_t unit, bool bigEndian) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    if (bigEndian) {
        out += hi;
        out += lo;
    } else {
        out += lo;
        out += hi;
    }
}

} // namespace

std::string Encode(int encoding, std::string_view text) {
    if (encoding != 1 && encoding != 2) return std::string(text);
    const bool bigEndian = encoding == 2;
    std::string out = bigEndian ? "" : "\xFF\xFE";
    for (uint32_t cp : CodePoints(text)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            AppendUnit(out, 0xD800 + (cp >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + (cp & 0x3FF), bigEndian);
        } else {
            AppendUnit(out, cp, bigEndian);
        }
    }
    return out;
}

std::string Terminator(int encoding) { return encoding == 1 || encoding == 2 ? std::string(2, '\0') : std::string(1, '\0'); }

std::string TextBody(int encoding, std::string_view text) { return std::string(1, static_cast<char>(encoding)) + Encode(encoding, text); }

std::string CommentBody(int encoding, std::string_view language, std::string_view description, std::string_view text) {
    return std::string(1, static_cast<char>(encoding)) + std::string(language) + Encode(encoding, description) +
           Terminator(encoding) + Encode(encoding, text);
}

std::string PictureBody(int encoding, std::string_view mime, int type, std::string_view description,
                        std::string_view data) {
    return std::string(1, static_cast<char>(encoding)) + std::string(mime) + std::string(1, '\0') +
           std::string(1, static_cast<char>(type)) + Encode(encoding, description) + Terminator(encoding) +
           std::string(data);
}

Tag& Tag::FrameWithSize(std::string_view id, std::string_view body, uint32_t sizeField, uint16_t frameFlags) {
    body_ += id;
    if (version_ == 2) {
        body_ += BigEndian24(sizeField);
    } else {
        body_ += version_ == 4 ? SyncSafe(sizeField) : BigEndian32(sizeField);
        body_ += static_cast<char>(frameFlags >> 8);
        body_ += static_cast<char>(frameFlags & 0xFF);
    }
    body_ += body;
    return *this;
}

Tag& Tag::Frame(std::string_view id, std::string_view body, uint16_t frameFlags) {
    return FrameWithSize(id, body, static_cast<uint32_t>(body.size()), frameFlags);
}

Tag& Tag::Text(std::string_view id, std::string_view text, int encoding) { return Frame(id, TextBody(encoding, text)); }

Tag& Tag::Raw(std::string_view bytes) {
    body_ += bytes;
    return *this;
}

Tag& Tag::Padding(std::size_t bytes) {
    padding_ += bytes;
    return *this;
}

Tag& Tag::DeclaredSize(uint32_t size) {
    declaredSize_ = size;
    return *this;
}

std::string Tag::Build() const {
    const uint32_t size = declaredSize_ >= 0 ? static_cast<uint32_t>(declaredSize_)
                                             : static_cast<uint32_t>(body_.size() + padding_);
    std::string out = "ID3";
    out += static_cast<char>(version_);
    out += '\0';
    out += static_cast<char>(flags_);
    out += SyncSafe(size);
    out += body_;
    out.append(padding_, '\0');
    return out;
}

std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                  std::string_view comment, unsigned char genre) {
    std::string out = "TAG";
    auto field = [&out](std::string_view text, std::size_t width) {
        std::string f(text.substr(0, width));
        f.resize(width, '\0');
        out += f;
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field(comment, 30);
    out += static_cast<char>(genre);
    return out;
}

namespace {

std::string Noise(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& c : out) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

} // namespace

std::string JpegData(std::size_t size, unsigned seed) {
    std::string data = "\xFF\xD8\xFF\xE0" + Noise(size < 6 ? 0 : size - 6, seed) + "\xFF\xD9";
    return data.substr(0, size);
}

std::string PngData(std::size_t size, unsigned seed) {
    std::string data = "\x89PNG\r\n\x1A\n" + Noise(size < 20 ? 0 : size - 20, seed) + "IEND\xAE\x42\x60\x82";
    data.insert(data.size() - 8, 4, '\0');
    return data.substr(0, size);
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace mp3
