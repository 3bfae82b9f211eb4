#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Builds MPEG audio files in memory: frame headers, ID3v2 tags of versions 2,
// 3 and 4 in any layout, and ID3v1 tags. Used by the tests and the benchmark.
namespace mp3 {

std::string BigEndian32(uint32_t value);
std::string BigEndian24(uint32_t value);
std::string SyncSafe(uint32_t value);

// `count` MPEG-1 Layer III frames, 128 kbit/s, 44.1 kHz, joint stereo, each
// of its proper length with a silent body.
std::string Frames(int count);
// One frame made of the given four header bytes and zeros up to `length`.
std::string Frame(std::string_view header, std::size_t length = 417);

// Text in a tag encoding: 0 and 3 as given, 1 UTF-16 with a byte-order mark
// (little-endian), 2 UTF-16 big-endian. The text is UTF-8.
std::string Encode(int encoding, std::string_view text);
// A zero terminator of that encoding.
std::string Terminator(int encoding);

// Frame bodies.
std::string TextBody(int encoding, std::string_view text);
std::string CommentBody(int encoding, std::string_view language, std::string_view description, std::string_view text);
std::string PictureBody(int encoding, std::string_view mime, int type, std::string_view description,
                        std::string_view data);

class Tag {
public:
    explicit Tag(int version = 3, uint8_t flags = 0) : version_(version), flags_(flags) {}

    // A frame with a raw body; the size field is the body's length unless given.
    Tag& Frame(std::string_view id, std::string_view body, uint16_t frameFlags = 0);
    Tag& FrameWithSize(std::string_view id, std::string_view body, uint32_t sizeField, uint16_t frameFlags = 0);
    Tag& Text(std::string_view id, std::string_view text, int encoding = 0);
    Tag& Raw(std::string_view bytes); // bytes placed among the frames as they are
    Tag& Padding(std::size_t bytes);
    // The tag size in the header; by default the frames and padding.
    Tag& DeclaredSize(uint32_t size);
    std::string Build() const;

private:
    int version_;
    uint8_t flags_;
    std::string body_;
    std::size_t padding_ = 0;
    int64_t declaredSize_ = -1;
};

// The 128-byte ID3v1 tag; fields are cut or filled with zeros.
std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                  std::string_view comment, unsigned char genre);

// Test data of pictures: a small valid-looking JPEG or PNG of `size` bytes.
std::string JpegData(std::size_t size, unsigned seed = 1);
std::string PngData(std::size_t size, unsigned seed = 1);

bool WriteFile(const std::string& path, std::string_view bytes);

} // namespace mp3
