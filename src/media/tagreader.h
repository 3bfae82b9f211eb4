#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/bytesource.h"

class TMP3Tag;
class TId3v2Frames;
struct TId3Frame;
struct TId3Layout;

// A frame of an ID3v2 tag that gave the item no value.
struct TUnreadFrame {
    std::string id;    // the ID3v2.3 identifier
    std::string bytes; // the whole frame in ID3v2.3 form
};

// Reads an MPEG audio file into an item: the ID3v2 tag at its start (versions
// 2.2, 2.3 and 2.4), else the ID3v1 tag at its end, the first frame header,
// and the attached pictures, which go to picture files. Every length a file
// gives is checked against what the tag and the file hold.
class TTagReader {
public:
    TTagReader(TMP3Tag& item, TByteSource& source);

    // Reads from offset 0 and ends with the header scan.
    void ReadID3v2();
    // Reads the ID3v2 frames as ReadID3v2 does, but writes no picture files,
    // and returns the frames that gave no value, in tag order: those the
    // writer carries over.
    std::vector<TUnreadFrame> CollectUnreadFrames();
    // The data of every picture the ID3v2 tag holds, by the name of the
    // picture file ReadID3v2 would write it to; writes no picture files.
    std::vector<std::pair<std::string, std::string>> CollectPictureData();
    // Reads the last 128 bytes.
    void ReadID3v1();
    // Stores the stream information of the first frame header at or after from.
    void ScanHeader(int64_t from);

private:
    struct PictureHeader {
        std::string mime;
        int type = 0;
        std::string description;
        std::size_t length = 0; // encoding byte to the end of the description's terminator
    };
    enum class TextUse { kNone, kValue, kDescribedComment };

    // Returns where to look for the audio.
    int64_t ReadID3v2Frames();
    void ReadFrames(TId3v2Frames& frames);
    // Adds a frame to the unread ones when they are collected and it can be
    // carried over; true when it was added.
    bool Keep(TId3v2Frames& frames, const TId3Frame& frame);
    TextUse ReadTextFrame(std::string_view id, std::string_view body, int version);
    // Returns where the frame ends, -1 when it is damaged and nothing was stored.
    int64_t ReadPicture(TSourceWindow& tag, int64_t bodyStart, uint32_t size, int64_t tagEnd, const TId3Layout& layout,
                        bool ownLayoutPossible);
    std::optional<PictureHeader> ParsePictureHeader(std::string_view fixed, int version) const;
    void SavePicture(TSourceWindow& tag, int64_t from, int64_t to, const std::string& relativeName);

    std::string LegacyText(std::string_view bytes) const;
    std::string DecodeText(int encoding, std::string_view bytes) const;

    TMP3Tag& item_;
    TSourceWindow file_;
    bool commentFromPlainFrame_ = false;
    bool savePictures_ = true;
    std::vector<TUnreadFrame>* unread_ = nullptr;
    std::vector<std::pair<std::string, std::string>>* pictureData_ = nullptr;
    // The unread frame that is the described comment giving the item's comment so far.
    std::optional<std::size_t> commentSource_;
};

// The genre rule of "TCON": "(17)" and "(17)Rock" give "Rock", "()" gives
// "Pop", "(17" and "((17" give "17", a text without "(" stays. With numberIsGenre (ID3v2.4
// numeric references) a text of digits alone names the genre of that number.
std::string GenreFromContentType(std::string_view text, bool numberIsGenre);

// Lyrics keep one line: lines are joined with the two characters "\n";
// empty lines before the first text are dropped.
std::string JoinLyricLines(std::string_view text);

// A time as a 32-bit DOS date and time of the local time; -1 outside the
// years 1980 to 2107.
int32_t DosDateTime(std::time_t time);
