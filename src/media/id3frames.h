#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytesource.h"

// How the frames of one ID3v2 version are laid out.
struct TId3Layout {
    int version;              // 2, 3 or 4 (other versions are walked as 3)
    std::size_t idLength;     // 3 for version 2, else 4
    std::size_t headerLength; // 6 for version 2, else 10
    bool unsynchronised;      // version 4: the tag header's flag marks every frame

    bool ValidId(std::string_view bytes) const;
};

// One frame of a tag, where it lies in the tag's bytes.
struct TId3Frame {
    std::string id;        // the ID3v2.3 identifier; empty for a version 2 one that has none
    int64_t start = 0;     // the frame header
    int64_t body = 0;      // the body as stored
    uint32_t size = 0;     // its length
    unsigned char status = 0;
    unsigned char format = 0;
    uint32_t prefix = 0;   // bytes before the body proper (group, data length)
    bool readable = false; // neither compressed nor encrypted, and the prefix fits
    bool unsynchronised = false;
};

// The ID3v2 tag at the start of a file, walked frame by frame. The reader
// turns the frames into values; the writer carries over those it did not.
// A whole tag that is unsynchronised (versions 2 and 3) is walked in a copy
// with the unsynchronisation undone.
class TId3v2Frames {
public:
    explicit TId3v2Frames(TSourceWindow& file);
    TId3v2Frames(const TId3v2Frames&) = delete;
    TId3v2Frames& operator=(const TId3v2Frames&) = delete;

    bool Present() const { return present_; }
    int Version() const { return version_; }
    int Flags() const { return flags_; }
    uint32_t Size() const { return size_; }
    // Where the audio starts: after the frames, the padding and a version 4
    // footer; may lie beyond the end of a damaged file. 0 without a tag.
    int64_t End() const;

    const TId3Layout& Layout() const { return layout_; }
    // The bytes the frames are in: the file, or the copy.
    TSourceWindow& Window() { return *window_; }
    int64_t FramesEnd() const { return framesEnd_; }

    // The next frame; false at the padding, an invalid identifier, a frame
    // that does not fit in the tag, or the end of the tag.
    bool Next(TId3Frame& frame);
    int64_t Position() const { return pos_; }
    // Goes on at pos, past the end of the last frame.
    void SkipTo(int64_t pos) { pos_ = pos; }
    // Where to look for the audio in the file: the end of the tag, or of the
    // file when the tag claims more than it holds.
    int64_t ScanStart() const;

    // The body proper of a readable frame: without its prefix, with the
    // unsynchronisation undone.
    std::string Body(const TId3Frame& frame);
    // The whole frame as an ID3v2.3 frame; none for a frame that cannot be
    // one (compressed or encrypted in version 4, version 2 frames without an
    // ID3v2.3 counterpart of the same layout) or that asks to be dropped when
    // a program that does not know it changes the tag. Text of version 4
    // frames laid out as text, comment or lyrics becomes UTF-16.
    std::optional<std::string> AsVersion3(const TId3Frame& frame);

private:
    uint32_t FrameSize(int64_t pos);
    std::string Copy(int64_t from, std::size_t length);

    TSourceWindow& file_;
    TSourceWindow* window_;
    std::string copy_;
    std::optional<TMemorySource> copySource_;
    std::optional<TSourceWindow> copyWindow_;
    bool present_ = false;
    int version_ = 0;
    int flags_ = 0;
    uint32_t size_ = 0;
    TId3Layout layout_{3, 4, 10, false};
    int64_t framesEnd_ = 0;
    int64_t pos_ = 0;
};

// Whether a frame, the padding or the end of the tag starts at pos.
bool IsId3FrameBoundary(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const TId3Layout& layout);

// Where the text of an encoding ends: a zero byte, or a zero code unit for
// UTF-16; length is the terminator's. npos when there is none.
std::size_t FindTerminator(int encoding, std::string_view bytes, std::size_t from, std::size_t& length);

// Undoes ID3v2 unsynchronisation: FF 00 becomes FF.
std::string RemoveUnsynchronisation(std::string_view bytes);

std::string SyncSafeBytes(uint32_t value);

// An ID3v2.3 frame header: identifier, plain 32-bit size, flags 00 00.
std::string Version3FrameHeader(std::string_view id, uint32_t bodySize);
std::string Version3Frame(std::string_view id, std::string_view body);
