#include "media/tagreader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>

#include "core/fileio.h"
#include "core/paths.h"
#include "core/sysinfo.h"
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

const unsigned char* Bytes(std::string_view v) { return reinterpret_cast<const unsigned char*>(v.data()); }

uint32_t BigEndian(const unsigned char* p, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | p[i];
    return value;
}

uint32_t SyncSafe(const unsigned char* p) { return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu); }

std::string_view UpToZero(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

bool IsIdChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Where the text of an encoding ends: a zero byte, or a zero code unit for
// UTF-16. npos when there is none.
std::size_t FindTerminator(int encoding, std::string_view bytes, std::size_t from, std::size_t& length) {
    if (encoding == 1 || encoding == 2) {
        length = 2;
        for (std::size_t i = from; i + 1 < bytes.size(); i += 2)
            if (bytes[i] == '\0' && bytes[i + 1] == '\0') return i;
        return std::string_view::npos;
    }
    length = 1;
    return from < bytes.size() ? bytes.find('\0', from) : std::string_view::npos;
}

// Undoes ID3v2 unsynchronisation: FF 00 becomes FF.
std::string RemoveUnsynchronisation(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == '\xFF' && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
    }
    return out;
}

// ID3v2.2 frame identifiers and the ID3v2.3 ones they are kept under.
constexpr std::pair<std::string_view, std::string_view> kVersion2Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"GEO", "GEOB"},
    {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"},
    {"REV", "RVRB"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
    {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSI", "TSIZ"},
    {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"}, {"WXX", "WXXX"},
};

std::string_view Version3Id(std::string_view version2Id) {
    for (const auto& [from, to] : kVersion2Ids)
        if (from == version2Id) return to;
    return {};
}

// Frames whose body is text (or a picture) become values. Binary frames
// (PRIV, UFID, POPM, ...) and "TXXX", whose text is a description and a value,
// would only give a misleading text and are left in the file as they are.
bool HoldsReadableText(std::string_view id) {
    if (id.size() != 4) return false;
    if (id[0] == 'T') return id != "TXXX";
    return id[0] == 'W' || id == "COMM" || id == "USLT" || id == "APIC";
}

std::string PictureMimeOfFormat(std::string_view format) {
    std::string lower(UpToZero(format));
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    if (lower == "jpg") return "image/jpeg";
    return "image/" + lower;
}

} // namespace

struct TTagReader::FrameLayout {
    int version;           // 2, 3 or 4 (other versions are read as 3)
    std::size_t idLength;  // 3 for version 2, else 4
    std::size_t headerLength;
    bool unsynchronised;   // version 4: the header's flag marks every frame

    bool ValidId(std::string_view bytes) const {
        return bytes.size() >= idLength && std::all_of(bytes.begin(), bytes.begin() + static_cast<long>(idLength), IsIdChar);
    }
};

TTagReader::TTagReader(TMP3Tag& item, TByteSource& source) : item_(item), file_(source) {}

std::string TTagReader::LegacyText(std::string_view bytes) const { return item_.Environment().Codec.ToUtf8(bytes); }

std::string TTagReader::DecodeText(int encoding, std::string_view bytes) const {
    switch (encoding) {
    case 1: return Utf16ToUtf8(bytes, false);
    case 2: return Utf16ToUtf8(bytes, true);
    default: return LegacyText(UpToZero(bytes));
    }
}

void TTagReader::ReadID3v2() {
    unsigned char h[10] = {};
    const std::string_view head = file_.View(0, 10);
    std::memcpy(h, head.data(), head.size());
    item_.values_.Set("TAG", LegacyText(UpToZero(head.substr(0, 3))));
    if (head.size() < 10 || head.substr(0, 3) != "ID3" || h[3] == 0xFF || h[4] == 0xFF ||
        ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0) {
        ScanHeader(0);
        return;
    }
    const int version = h[3];
    const int flags = h[5];
    const uint32_t size = SyncSafe(h + 6);
    TValueList& values = item_.values_;
    values.Set("version", std::to_string(version));
    values.Set("flags.a", (flags & 0x80) ? "1" : "0");
    values.Set("flags.b", (flags & 0x40) ? "1" : "0");
    values.Set("flags.c", (flags & 0x20) ? "1" : "0");
    values.Set("header_size", std::to_string(size));

    FrameLayout layout{version == 2 || version == 4 ? version : 3, version == 2 ? 3u : 4u, version == 2 ? 6u : 10u,
                       false};
    const int64_t tagEnd = 10 + static_cast<int64_t>(size);

    // Where the frames begin, past an extended header; tagEnd when there are
    // none to read (a compressed version 2 tag, a damaged extended header).
    auto firstFrame = [&](TSourceWindow& tag, int64_t end) -> int64_t {
        if ((flags & 0x40) == 0) return 10;
        if (layout.version == 2) return end;
        const std::string_view ext = tag.View(10, 4);
        if (ext.size() < 4) return end;
        const int64_t next = layout.version == 4 ? 10 + static_cast<int64_t>(SyncSafe(Bytes(ext)))
                                                 : 14 + static_cast<int64_t>(BigEndian(Bytes(ext), 4));
        return std::min(next, end);
    };

    if ((flags & 0x80) != 0 && layout.version != 4) {
        // The whole tag is unsynchronised: undo it on a copy and read the frames from there.
        const int64_t end = std::min(tagEnd, file_.Size());
        std::string raw(static_cast<std::size_t>(end), '\0');
        raw.resize(file_.Source().ReadAt(0, raw.data(), raw.size()));
        const std::string tag = raw.substr(0, 10) + RemoveUnsynchronisation(std::string_view(raw).substr(10));
        TMemorySource memory(tag);
        TSourceWindow window(memory, tag.size());
        const int64_t copyEnd = static_cast<int64_t>(tag.size());
        ReadFrames(window, firstFrame(window, copyEnd), copyEnd, layout);
        ScanHeader(end);
        return;
    }
    layout.unsynchronised = (flags & 0x80) != 0;
    ScanHeader(ReadFrames(file_, firstFrame(file_, tagEnd), tagEnd, layout));
}

uint32_t TTagReader::FrameSize(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout) {
    const std::string_view header = tag.View(pos, layout.headerLength);
    const unsigned char* p = Bytes(header) + layout.idLength;
    if (layout.version == 2) return BigEndian(p, 3);
    const uint32_t plain = BigEndian(p, 4);
    if (layout.version != 4 || ((p[0] | p[1] | p[2] | p[3]) & 0x80) != 0) return plain;
    const uint32_t syncSafe = SyncSafe(p);
    if (syncSafe == plain) return plain;
    const int64_t body = pos + static_cast<int64_t>(layout.headerLength);
    if (!IsFrameBoundary(tag, body + syncSafe, tagEnd, layout) && IsFrameBoundary(tag, body + plain, tagEnd, layout))
        return plain;
    return syncSafe;
}

bool TTagReader::IsFrameBoundary(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout) {
    if (pos == tagEnd) return true;
    if (pos > tagEnd) return false;
    const std::string_view next = tag.View(pos, static_cast<std::size_t>(std::min<int64_t>(tagEnd - pos, 4096)));
    if (std::all_of(next.begin(), next.end(), [](char c) { return c == '\0'; })) return true; // padding
    if (next.size() < layout.headerLength || !layout.ValidId(next)) return false;
    const unsigned char* p = Bytes(next) + layout.idLength;
    const int64_t room = tagEnd - pos - static_cast<int64_t>(layout.headerLength);
    if (layout.version == 2) return BigEndian(p, 3) <= room;
    return BigEndian(p, 4) <= room || (layout.version == 4 && SyncSafe(p) <= room);
}

int64_t TTagReader::ReadFrames(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const FrameLayout& layout) {
    const int64_t headerLength = static_cast<int64_t>(layout.headerLength);
    while (pos < tagEnd) {
        if (pos + headerLength > tagEnd) break;
        const std::string_view view = tag.View(pos, layout.headerLength);
        if (static_cast<int64_t>(view.size()) < headerLength || !layout.ValidId(view)) break;
        unsigned char header[10] = {};
        std::memcpy(header, view.data(), view.size());
        const uint32_t size = FrameSize(tag, pos, tagEnd, layout);
        const int64_t bodyStart = pos + headerLength;
        if (bodyStart + size > tagEnd) break;
        pos = bodyStart + size;

        const std::string_view rawId(reinterpret_cast<const char*>(header), layout.idLength);
        const std::string id(layout.version == 2 ? Version3Id(rawId) : rawId);
        if (!HoldsReadableText(id)) continue;

        // Frame format flags: skip what cannot be read, and the bytes that
        // precede the body proper.
        const unsigned char format = header[9];
        uint32_t prefix = 0;
        bool unsynchronised = false;
        if (layout.version == 3) {
            if (format & 0xC0) continue; // compressed or encrypted
            prefix = (format & 0x20) ? 1 : 0;
        } else if (layout.version == 4) {
            if (format & 0x0C) continue;
            prefix = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
            unsynchronised = layout.unsynchronised || (format & 0x02);
        }
        if (prefix > size) continue;
        const int64_t from = bodyStart + prefix;
        const uint32_t length = size - prefix;

        if (id == "APIC") {
            if (unsynchronised) {
                std::string raw(length, '\0');
                raw.resize(tag.Source().ReadAt(from, raw.data(), raw.size()));
                const std::string body = RemoveUnsynchronisation(raw);
                TMemorySource memory(body);
                TSourceWindow window(memory, body.size());
                ReadPicture(window, 0, static_cast<uint32_t>(body.size()), static_cast<int64_t>(body.size()), layout,
                            false);
            } else {
                const bool ownLayoutPossible = layout.version == 3 && prefix == 0;
                const int64_t end = ReadPicture(tag, from, length, tagEnd, layout, ownLayoutPossible);
                if (end > pos) pos = end;
            }
            continue;
        }
        if (length >= kTextBufferSize) continue;
        const std::string_view body = tag.View(from, length);
        if (body.size() < length) break;
        if (unsynchronised) {
            ReadTextFrame(id, RemoveUnsynchronisation(body), layout.version);
        } else {
            ReadTextFrame(id, body, layout.version);
        }
    }
    return pos;
}

void TTagReader::ReadTextFrame(std::string_view id, std::string_view body, int version) {
    TValueList& values = item_.values_;
    if (body.empty()) return;
    const int encoding = static_cast<unsigned char>(body[0]);
    const std::string key(id);

    if (id[0] == 'W' && id != "WXXX") {
        // URL frames hold the address alone; a leading zero byte is the
        // encoding byte that older tags of this program put before it.
        std::string_view text = body;
        if (text.front() == '\0') text.remove_prefix(1);
        values.Set(key, TrimControl(LegacyText(UpToZero(text))));
        return;
    }
    if (id == "WXXX") {
        std::size_t termLength = 0;
        const std::size_t term = FindTerminator(encoding, body, 1, termLength);
        const std::string_view url = term == std::string_view::npos ? body.substr(1) : body.substr(term + termLength);
        values.Set(key, TrimControl(LegacyText(UpToZero(url))));
        return;
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
            return;
        }
        // A comment without a descriptor is the comment; described ones are
        // other programs' notes and count only while there is no plain one.
        if (described && commentFromPlainFrame_) return;
        if (!described) commentFromPlainFrame_ = true;
        values.Set(key, TrimControl(decoded));
        return;
    }
    const std::string text(TrimControl(DecodeText(encoding, body.substr(1))));
    values.Set(key, id == "TCON" ? GenreFromContentType(text, version == 4) : text);
    // Version 4 keeps the year in the recording time ("2001-05-03T10:00").
    if (id == "TDRC" && !values.Has("TYER")) values.Set("TYER", text.substr(0, 4));
}

std::optional<TTagReader::PictureHeader> TTagReader::ParsePictureHeader(std::string_view fixed, int version) const {
    if (fixed.empty()) return std::nullopt;
    const int encoding = static_cast<unsigned char>(fixed[0]);
    PictureHeader header;
    std::size_t at;
    if (version == 2) {
        if (fixed.size() < 4) return std::nullopt;
        header.mime = PictureMimeOfFormat(fixed.substr(1, 3));
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
                                const FrameLayout& layout, bool ownLayoutPossible) {
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
    if (standardFits && IsFrameBoundary(tag, standardEnd, tagEnd, layout)) {
        dataEnd = standardEnd;
    } else if (ownLayoutPossible && (standardFits || size == 0) && IsFrameBoundary(tag, ownEnd, tagEnd, layout)) {
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
    SavePicture(tag, bodyStart + headerLength, dataEnd, name);
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
    if (close == std::string_view::npos) return std::string(u);
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
