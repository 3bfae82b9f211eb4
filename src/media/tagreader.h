#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "core/bytesource.h"

class TMP3Tag;

// Reads an MPEG audio file into an item: the ID3v2 tag at its start (versions
// 2.2, 2.3 and 2.4), else the ID3v1 tag at its end, the first frame header,
// and the attached pictures, which go to picture files. Every length a file
// gives is checked against what the tag and the file hold.
class TTagReader {
public:
    TTagReader(TMP3Tag& item, TByteSource& source);

    // Reads from offset 0 and ends with the header scan.
    void ReadID3v2();
    // Reads the last 128 bytes.
    void ReadID3v1();
    // Stores the stream information of the first frame header at or after from.
    void ScanHeader(int64_t from);

private:
    struct FrameLayout;
    struct PictureHeader {
        std::string mime;
        int type = 0;
        std::string description;
        std::size_t length = 0; // encoding byte to the end of the description's terminator
    };

    // Reads the frames of the tag held by `tag` (the file, or a copy with the
    // unsynchronisation undone) from pos to tagEnd; returns where it stopped.
    int64_t ReadFrames(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout);
    // Frame size as stored; for version 4, sync-safe unless the plain reading
    // is the one that lands on the next frame (as some writers stored it).
    uint32_t FrameSize(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout);
    bool IsFrameBoundary(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout);
    void ReadTextFrame(std::string_view id, std::string_view body, int version);
    // Returns where the frame ends, -1 when it is damaged and nothing was stored.
    int64_t ReadPicture(TSourceWindow& tag, int64_t bodyStart, uint32_t size, int64_t tagEnd, const FrameLayout& layout,
                     bool ownLayoutPossible);
    std::optional<PictureHeader> ParsePictureHeader(std::string_view fixed, int version) const;
    void SavePicture(TSourceWindow& tag, int64_t from, int64_t to, const std::string& relativeName);

    std::string LegacyText(std::string_view bytes) const;
    std::string DecodeText(int encoding, std::string_view bytes) const;

    TMP3Tag& item_;
    TSourceWindow file_;
    bool commentFromPlainFrame_ = false;
};

// The genre rule of "TCON": "(17)" and "(17)Rock" give "Rock", "()" gives
// "Pop", "(17" gives "17", a text without "(" stays. With numberIsGenre (ID3v2.4
// numeric references) a text of digits alone names the genre of that number.
std::string GenreFromContentType(std::string_view text, bool numberIsGenre);

// Lyrics keep one line: lines are joined with the two characters "\n";
// empty lines before the first text are dropped.
std::string JoinLyricLines(std::string_view text);

// A time as a 32-bit DOS date and time of the local time; -1 outside the
// years 1980 to 2107.
int32_t DosDateTime(std::time_t time);
