#include "media/tagreader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>

#include "core/fileio.h"
#include "core/paths.h"
#include "core/sysinfo.h"
#include "media/id3frames.h"
#include "media/mp3const.h"
#include "media/mp3tag.h"
#include "media/mpegheader.h"
#include "media/picturefile.h"

namespace {

// Frame bodies up to this size are read as text; larger ones are passed over.
constexpr uint32_t kTextBufferSize = 131072;
// The encoding, MIME type, picture type and description of a picture frame
// must end within this many bytes.
constexpr std::size_t kMaxPictureHeader = 65536;
constexpr std::size_t kCopyBlock = 65536;
// At most this many frames of a tag are read into values; those after them
// are passed over like binary frames (and carried over by the writer). Real
// tags hold a few dozen, and every value stored is a search of the item's
// values: a damaged tag of thousands of tiny frames took minutes.
constexpr int kMaxValueFrames = 256;

std::string_view UpToZero(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

// Frames whose body is text (or a picture) become values. Binary frames
// (PRIV, UFID, POPM, ...) and "TXXX", whose text is a description and a value,
// would only give a misleading text and are left in the file as they are.
bool HoldsReadableText(std::string_view id) {
    if (id.size() != 4) return false;
    if (id[0] == 'T') return id != "TXXX";
    return id[0] == 'W' || id == "COMM" || id == "USLT" || id == "APIC";
}

// The first count characters of UTF-8 text, never a part of one.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (; end < text.size() && count > 0; --count) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    return text.substr(0, end);
}

} // namespace

TTagReader::TTagReader(TMP3Tag& item, TByteSource& source) : item_(item), file_(source) {}

std::string TTagReader::LegacyText(std::string_view bytes) const { return item_.Environment().Codec.ToUtf8(bytes); }

std::string TTagReader::DecodeText(int encoding, std::string_view bytes) const {
    switch (encoding) {
    case 1: return Utf16ToUtf8(bytes, false);
    case 2: return Utf16ToUtf8(bytes, true);
    default: return LegacyText(UpToZero(bytes));
    }
}

void TTagReader::ReadID3v2() { ScanHeader(ReadID3v2Frames()); }

std::vector<TUnreadFrame> TTagReader::CollectUnreadFrames() {
    std::vector<TUnreadFrame> unread;
    unread_ = &unread;
    savePictures_ = false;
    ReadID3v2Frames();
    // The described comment that gave the item's comment is written anew.
    if (commentSource_) unread.erase(unread.begin() + static_cast<long>(*commentSource_));
    unread_ = nullptr;
    savePictures_ = true;
    return unread;
}

std::vector<std::pair<std::string, std::string>> TTagReader::CollectPictureData() {
    std::vector<std::pair<std::string, std::string>> pictures;
    pictureData_ = &pictures;
    savePictures_ = false;
    ReadID3v2Frames();
    pictureData_ = nullptr;
    savePictures_ = true;
    return pictures;
}

int64_t TTagReader::ReadID3v2Frames() {
    item_.values_.Set("TAG", LegacyText(UpToZero(file_.View(0, 3))));
    TId3v2Frames frames(file_);
    if (!frames.Present()) return 0;
    TValueList& values = item_.values_;
    values.Set("version", std::to_string(frames.Version()));
    values.Set("flags.a", (frames.Flags() & 0x80) ? "1" : "0");
    values.Set("flags.b", (frames.Flags() & 0x40) ? "1" : "0");
    values.Set("flags.c", (frames.Flags() & 0x20) ? "1" : "0");
    values.Set("header_size", std::to_string(frames.Size()));
    ReadFrames(frames);
    return frames.ScanStart();
}

void TTagReader::ReadFrames(TId3v2Frames& frames) {
    const TId3Layout& layout = frames.Layout();
    TId3Frame frame;
    int valueFrames = 0;
    while (frames.Next(frame)) {
        if (!HoldsReadableText(frame.id) || !frame.readable || valueFrames == kMaxValueFrames) {
            Keep(frames, frame);
            continue;
        }
        ++valueFrames;
        const int64_t from = frame.body + frame.prefix;
        const uint32_t length = frame.size - frame.prefix;

        if (frame.id == "APIC") {
            int64_t end;
            if (frame.unsynchronised) {
                const std::string body = frames.Body(frame);
                TMemorySource memory(body);
                TSourceWindow window(memory, body.size());
                end = ReadPicture(window, 0, static_cast<uint32_t>(body.size()), static_cast<int64_t>(body.size()),
                                  layout, false);
            } else {
                const bool ownLayoutPossible = layout.version == 3 && frame.prefix == 0;
                end = ReadPicture(frames.Window(), from, length, frames.FramesEnd(), layout, ownLayoutPossible);
                if (end > frames.Position()) frames.SkipTo(end);
            }
            if (end < 0) Keep(frames, frame);
            continue;
        }
        if (length >= kTextBufferSize) {
            Keep(frames, frame);
            continue;
        }
        const std::string_view body = frames.Window().View(from, length);
        if (body.size() < length) break;
        const TextUse use = frame.unsynchronised ? ReadTextFrame(frame.id, RemoveUnsynchronisation(body), layout.version)
                                                 : ReadTextFrame(frame.id, body, layout.version);
        if (use == TextUse::kNone) {
            Keep(frames, frame);
        } else if (frame.id == "COMM") {
            // Only the frame that gives the comment last is written anew; a
            // described one that gave way is another program's note.
            commentSource_.reset();
            if (use == TextUse::kDescribedComment && Keep(frames, frame)) commentSource_ = unread_->size() - 1;
        }
    }
    // Version 4 keeps the year in the recording time ("2001-05-03T10:00"):
    // it gives the year when no frame does, wherever the frames stand (an
    // empty year frame after it included).
    TValueList& values = item_.values_;
    if (!values.Has("TYER") && values.Has("TDRC")) {
        const std::string recorded = values.Get("TDRC");
        values.Set("TYER", FirstCharacters(recorded, 4));
    }
}

bool TTagReader::Keep(TId3v2Frames& frames, const TId3Frame& frame) {
    if (unread_ == nullptr) return false;
    std::optional<std::string> bytes = frames.AsVersion3(frame);
    if (!bytes) return false;
    unread_->push_back({frame.id, std::move(*bytes)});
    return true;
}

TTagReader::TextUse TTagReader::ReadTextFrame(std::string_view id, std::string_view body, int version) {
    TValueList& values = item_.values_;
    if (body.empty()) return TextUse::kNone;
    const int encoding = static_cast<unsigned char>(body[0]);
    const std::string key(id);

    if (id[0] == 'W' && id != "WXXX") {
        // URL frames hold the address alone; a leading zero byte is the
        // encoding byte that older tags of this program put before it.
        std::string_view text = body;
        if (text.front() == '\0') text.remove_prefix(1);
        values.Set(key, TrimControl(LegacyText(UpToZero(text))));
        return TextUse::kValue;
    }
    if (id == "WXXX") {
        std::size_t termLength = 0;
        const std::size_t term = FindTerminator(encoding, body, 1, termLength);
        const std::string_view url = term == std::string_view::npos ? body.substr(1) : body.substr(term + termLength);
        values.Set(key, TrimControl(LegacyText(UpToZero(url))));
        return TextUse::kValue;
    }
    if (id == "COMM" || id == "USLT") {
        // Language and content descriptor, then the text. A body without a
        // descriptor terminator, or whose UTF-16 text starts right after the
        // encoding byte, holds the text alone (older tags of this program).
        std::size_t termLength = 0;
        const bool bomFirst = body.size() >= 3 && encoding == 1 &&
                              ((body[1] == '\xFF' && body[2] == '\xFE') || (body[1] == '\xFE' && body[2] == '\xFF'));
        const std::size_t term = bomFirst ? std::string_view::npos : FindTerminator(encoding, body, 4, termLength);
        bool described = false;
        std::string_view text = body.substr(1);
        if (term != std::string_view::npos) {
            described = term > 4 && !TrimControl(DecodeText(encoding, body.substr(4, term - 4))).empty();
            text = body.substr(term + termLength);
        }
        const std::string decoded = DecodeText(encoding, text);
        if (id == "USLT") {
            values.Set(key, JoinLyricLines(decoded));
            return TextUse::kValue;
        }
        // A comment without a descriptor is the comment; described ones are
        // other programs' notes and count only while there is no plain one.
        if (described && commentFromPlainFrame_) return TextUse::kNone;
        if (!described) commentFromPlainFrame_ = true;
        values.Set(key, TrimControl(decoded));
        return described ? TextUse::kDescribedComment : TextUse::kValue;
    }
    // Version 4 text frames may hold several texts, each after a terminator:
    // they are kept as one, joined by "/", so that a save keeps them all.
    // A UTF-16 text without a byte-order mark of its own has that of the first.
    std::string text;
    const std::string_view texts = body.substr(1);
    const bool bigEndianMark = texts.size() >= 2 && texts[0] == '\xFE' && texts[1] == '\xFF';
    for (std::size_t pos = 0; pos < texts.size() || pos == 0;) {
        std::size_t termLength = 0;
        std::size_t term = version == 4 ? FindTerminator(encoding, texts, pos, termLength) : std::string_view::npos;
        if (term == std::string_view::npos) term = texts.size();
        const std::string_view piece = texts.substr(pos, term - pos);
        std::string one(TrimControl(encoding == 1 && pos > 0 ? Utf16ToUtf8(piece, bigEndianMark)
                                                             : DecodeText(encoding, piece)));
        if (id == "TCON") one = GenreFromContentType(one, version == 4);
        if (!one.empty()) text += (text.empty() ? "" : "/") + one;
        pos = term + termLength;
        if (term == texts.size()) break;
    }
    values.Set(key, text);
    return TextUse::kValue;
}

std::optional<TTagReader::PictureHeader> TTagReader::ParsePictureHeader(std::string_view fixed, int version) const {
    if (fixed.empty()) return std::nullopt;
    const int encoding = static_cast<unsigned char>(fixed[0]);
    PictureHeader header;
    std::size_t at;
    if (version == 2) {
        if (fixed.size() < 4) return std::nullopt;
        header.mime = PictureMimeType(UpToZero(fixed.substr(1, 3)));
        at = 4;
    } else {
        const std::size_t mimeEnd = fixed.find('\0', 1);
        if (mimeEnd == std::string_view::npos) return std::nullopt;
        header.mime = TrimControl(LegacyText(fixed.substr(1, mimeEnd - 1)));
        at = mimeEnd + 1;
    }
    if (at >= fixed.size()) return std::nullopt;
    header.type = static_cast<unsigned char>(fixed[at++]);
    std::size_t termLength = 0;
    const std::size_t term = FindTerminator(encoding, fixed, at, termLength);
    if (term == std::string_view::npos) return std::nullopt;
    header.description = TrimControl(DecodeText(encoding, fixed.substr(at, term - at)));
    header.length = term + termLength;
    return header;
}

int64_t TTagReader::ReadPicture(TSourceWindow& tag, int64_t bodyStart, uint32_t size, int64_t tagEnd,
                                const TId3Layout& layout, bool ownLayoutPossible) {
    // An empty frame holds no picture, whatever follows it.
    if (size == 0 && IsId3FrameBoundary(tag, bodyStart, tagEnd, layout)) return -1;
    // Most picture headers are short; look further only when one is not.
    const int64_t room = std::min<int64_t>(tagEnd - bodyStart, kMaxPictureHeader);
    std::optional<PictureHeader> header = ParsePictureHeader(tag.View(bodyStart, std::min<int64_t>(room, 4096)), layout.version);
    if (!header && room > 4096) header = ParsePictureHeader(tag.View(bodyStart, room), layout.version);
    if (!header) return -1;
    const int64_t headerLength = static_cast<int64_t>(header->length);

    // The size counts the whole body, as ID3v2 defines; older tags of this
    // program count the picture data alone. The one whose end meets the next
    // frame, the padding or the end of the tag is the layout of this frame.
    const bool standardFits = headerLength <= size;
    const int64_t standardEnd = bodyStart + size;
    const int64_t ownEnd = bodyStart + headerLength + size;
    int64_t dataEnd;
    if (standardFits && IsId3FrameBoundary(tag, standardEnd, tagEnd, layout)) {
        dataEnd = standardEnd;
    } else if (ownLayoutPossible && (standardFits || size == 0) && IsId3FrameBoundary(tag, ownEnd, tagEnd, layout)) {
        // Only a frame whose size could hold its own header is taken this way
        // (or one without picture data), so that a damaged short frame is
        // never read on into the frames after it.
        dataEnd = ownEnd;
    } else if (standardFits) {
        dataEnd = standardEnd;
    } else {
        return -1;
    }

    TValueList& values = item_.values_;
    int32_t n = 0;
    ParseInt32(values.GetView("APIC.num"), n);
    values.Set("APIC.num", std::to_string(n + 1));
    const std::string prefix = "APIC." + std::to_string(n);
    values.Set(prefix + ".mimetype", header->mime);
    values.Set(prefix + ".pictype", std::to_string(header->type));
    values.Set(prefix + ".description", header->description);
    const std::string name = PictureFileName(item_.GetFileName(), n, header->mime == "image/png" ? ".png" : ".jpg");
    values.Set(prefix + ".filename", name);
    if (savePictures_) SavePicture(tag, bodyStart + headerLength, dataEnd, name);
    if (pictureData_ != nullptr) {
        // No more room than the file holds, whatever the frame claims.
        const int64_t held = std::min(dataEnd, tag.Size()) - bodyStart - headerLength;
        std::string& data =
            pictureData_->emplace_back(name, std::string(static_cast<std::size_t>(std::max<int64_t>(held, 0)), '\0')).second;
        data.resize(tag.Source().ReadAt(bodyStart + headerLength, data.data(), data.size()));
    }
    return dataEnd;
}

void TTagReader::SavePicture(TSourceWindow& tag, int64_t from, int64_t to, const std::string& relativeName) {
    const std::string& folder = item_.Environment().DataFolder;
    const std::string path = folder + relativeName;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT && MakeFolders(folder + "picture")) {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    if (fd < 0) return; // the picture's keys stay; its data is passed over
    // Copied past the window, which stays where the frames are read.
    const std::size_t blockSize = static_cast<std::size_t>(std::min<int64_t>(to - from, kCopyBlock));
    const auto block = std::make_unique<char[]>(blockSize);
    for (int64_t pos = from; pos < to;) {
        const std::size_t got =
            tag.Source().ReadAt(pos, block.get(), static_cast<std::size_t>(std::min<int64_t>(to - pos, kCopyBlock)));
        if (got == 0 || !WriteAll(fd, std::string_view(block.get(), got))) break;
        pos += static_cast<int64_t>(got);
    }
    close(fd);
}

void TTagReader::ReadID3v1() {
    const int64_t size = file_.Size();
    std::string tail(file_.View(std::max<int64_t>(size - 128, 0), 128));
    tail.resize(128, '\0');
    const std::string_view v(tail);
    item_.values_.Set("TAG", LegacyText(UpToZero(v.substr(0, 3))));
    if (v.substr(0, 3) != "TAG") return;
    auto field = [&](std::size_t offset, std::size_t width) {
        return std::string(TrimControl(LegacyText(UpToZero(v.substr(offset, width)))));
    };
    item_.SetTitle(field(3, 30));
    item_.SetArtist(field(33, 30));
    item_.SetAlbum(field(63, 30));
    item_.SetYear(field(93, 4));
    item_.SetComment(field(97, 30));
    item_.SetGenre(std::string(GenreName(static_cast<unsigned char>(v[127]))));
}

void TTagReader::ScanHeader(int64_t from) {
    TMpegHeader header;
    if (!FindFrameHeader(file_, from, header)) return;
    TValueList& values = item_.values_;
    values.Set("mpeg_level", std::to_string(header.version));
    values.Set("mpeg_layer", std::to_string(header.layer));
    if (const auto bitrate = header.BitrateKbps()) values.Set("TC_BR", std::to_string(*bitrate));
    if (const auto frequency = header.FrequencyHz()) values.Set("frequency", std::to_string(*frequency));
    values.Set("padding", std::to_string(header.padding));
    values.Set("channel", kChannelNames[static_cast<std::size_t>(header.channelMode)]);
}

std::string GenreFromContentType(std::string_view text, bool numberIsGenre) {
    const std::string_view t = TrimControl(text);
    const std::size_t open = t.find('(');
    if (open == std::string_view::npos) {
        int32_t number = 0;
        if (numberIsGenre && !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::string(GenreName(ParseInt32(t, number) ? number : -1));
        return std::string(t);
    }
    const std::string_view u = t.substr(open + 1);
    const std::size_t close = u.find(')');
    // What follows the last "(", trimmed as the whole text was: a genre
    // read holds no "(" then, and reads back the same once written.
    if (close == std::string_view::npos) {
        const std::size_t last = u.rfind('(');
        return std::string(TrimControl(last == std::string_view::npos ? u : u.substr(last + 1)));
    }
    const std::string_view v = u.substr(0, close);
    if (v.empty()) return "Pop";
    int32_t number = -1;
    if (!ParseInt32(v, number)) number = -1;
    return std::string(GenreName(number));
}

std::string JoinLyricLines(std::string_view text) {
    text = TrimControl(text);
    std::string out;
    bool collected = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        if (collected) {
            out += "\\n";
            out += line;
        } else if (!line.empty()) {
            out = line;
            collected = true;
        }
        if (end == text.size()) break;
        pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return out;
}

int32_t DosDateTime(std::time_t time) {
    std::tm local {};
    if (localtime_r(&time, &local) == nullptr) return -1;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return -1;
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const uint32_t clock = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return static_cast<int32_t>(date << 16 | clock);
}
