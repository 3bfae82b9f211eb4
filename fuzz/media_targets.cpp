// The targets of the tag reader, the tag writer and the first-frame search.
#include <filesystem>
#include <iterator>
#include <optional>
#include <tuple>

#include "core/bytesource.h"
#include "core/fileio.h"
#include "fuzzsupport.h"
#include "media/id3frames.h"
#include "media/mp3tag.h"
#include "media/mpegheader.h"
#include "media/tagreader.h"
#include "media/tagwriter.h"
#include "targets.h"

namespace {

TMP3Tag ItemOf(const std::string& fileName) {
    TMP3Tag item(FuzzEnvironment());
    item.SetValue("filename", fileName);
    return item;
}

uint32_t BigEndian32(std::string_view bytes) {
    uint32_t value = 0;
    for (char c : bytes.substr(0, 4)) value = value << 8 | static_cast<unsigned char>(c);
    return value;
}

// A frame the writer can put into its ID3v2.3 tag as it is.
bool IsVersion3Frame(const TUnreadFrame& frame) {
    const std::string_view bytes = frame.bytes;
    return bytes.size() >= 10 && bytes.substr(0, 4) == frame.id && TId3Layout{3, 4, 10, false}.ValidId(bytes) &&
           BigEndian32(bytes.substr(4)) == bytes.size() - 10;
}

bool SameHeader(const TMpegHeader& a, const TMpegHeader& b) {
    const auto fields = [](const TMpegHeader& h) {
        return std::tie(h.version, h.layer, h.bitrateIndex, h.frequencyIndex, h.padding, h.channelMode);
    };
    return fields(a) == fields(b);
}

// What a file holds besides its tags: the bytes after the ID3v2 tag, without
// the ID3v1 tag at the end.
std::string_view AudioOf(std::string_view file) {
    TMemorySource source(file);
    TSourceWindow window(source);
    const int64_t start = TId3v2Frames(window).End();
    if (start > static_cast<int64_t>(file.size())) return {};
    std::string_view audio = file.substr(static_cast<std::size_t>(start));
    if (audio.size() >= 128 && audio.substr(audio.size() - 128, 3) == "TAG") audio.remove_suffix(128);
    return audio;
}

// The file after its tags were read and written anew; none when they were
// not written.
std::optional<std::string> Rewritten(const std::string& path) {
    TMP3Tag item = ItemOf(path);
    FuzzCheck(item.LoadFromFile(path) == 0, "the file cannot be read");
    if (WriteTags(item) != TTagWriteResult::Written) return std::nullopt;
    return Contents(path);
}

} // namespace

void FuzzTagReader(std::string_view bytes) {
    const std::string fileName = "/fuzz/tagreader.mp3";
    TMemorySource source(bytes);
    TMP3Tag item = ItemOf(fileName);
    TTagReader reader(item, source);
    reader.ReadID3v2();
    reader.ReadID3v1();

    TMP3Tag apart = ItemOf(fileName);
    for (const TUnreadFrame& frame : TTagReader(apart, source).CollectUnreadFrames())
        FuzzCheck(IsVersion3Frame(frame), "a frame to carry over is no ID3v2.3 frame");
    apart = ItemOf(fileName);
    const auto pictures = TTagReader(apart, source).CollectPictureData();
    for (const auto& [name, data] : pictures)
        FuzzCheck(data.size() <= bytes.size(), "a picture holds more bytes than the file");
}

void FuzzTagWriter(std::string_view bytes) {
    const std::string path = ScratchFolder() + "tagwriter.mp3";
    // Pictures an earlier input left must not stand in for this one's.
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder() + "picture", ignored);
    FuzzCheck(WriteWholeFile(path, bytes), "the input file cannot be written");
    const std::optional<std::string> first = Rewritten(path);
    if (!first) {
        FuzzCheck(Contents(path) == bytes, "a file whose tags were not written changed");
        return;
    }
    FuzzCheck(first->starts_with(std::string_view("ID3\3\0\0", 6)), "the new tag is no ID3v2.3 tag");
    FuzzCheck(first->size() >= 128 && first->compare(first->size() - 128, 3, "TAG") == 0, "the file ends without an ID3v1 tag");
    FuzzCheck(AudioOf(*first) == AudioOf(bytes), "writing the tags changed the audio");
    const std::optional<std::string> second = Rewritten(path);
    FuzzCheck(second.has_value(), "tags read back cannot be written again");
    FuzzCheck(*second == *first, "tags read back are written into other bytes");
}

void FuzzMpegHeader(std::string_view bytes) {
    // The first two bytes choose the window's read-ahead and where the
    // search starts, so that blocks and windows end at every place.
    static constexpr std::size_t kReadAheads[] = {1, 3, 4, 5, 7, 64, 1023, 1024, 4096};
    if (bytes.size() < 2) return;
    const std::size_t readAhead = kReadAheads[static_cast<unsigned char>(bytes[0]) % std::size(kReadAheads)];
    const auto from = static_cast<std::size_t>(static_cast<unsigned char>(bytes[1]));
    const std::string_view file = bytes.substr(2);

    std::optional<int64_t> expected;
    for (std::size_t pos = from; pos + 4 <= file.size() && !expected; ++pos)
        if (IsFrameHeader(reinterpret_cast<const unsigned char*>(file.data() + pos))) expected = static_cast<int64_t>(pos);

    TMemorySource source(file);
    TSourceWindow window(source, readAhead);
    TMpegHeader header;
    const std::optional<int64_t> found = FindFrameHeader(window, static_cast<int64_t>(from), header);
    FuzzCheck(found == expected, "the search finds another frame header than the first");
    if (found) {
        const TMpegHeader at = ParseFrameHeader(reinterpret_cast<const unsigned char*>(file.data() + *found));
        FuzzCheck(SameHeader(at, header), "the header given is not the one found");
        const std::optional<int> bitrate = header.BitrateKbps();
        const std::optional<int> frequency = header.FrequencyHz();
        FuzzCheck(!bitrate || (*bitrate >= 0 && *bitrate <= 448), "a bitrate out of the tables");
        FuzzCheck(!frequency || (*frequency >= 8000 && *frequency <= 48000), "a frequency out of the tables");
    }
    TMP3Tag item = ItemOf("/fuzz/mpegheader.mp3");
    TTagReader(item, source).ScanHeader(static_cast<int64_t>(from));
}
