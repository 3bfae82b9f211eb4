#include "media/id3frames.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "media/textcodec.h"

namespace {

const unsigned char* Bytes(std::string_view v) { return reinterpret_cast<const unsigned char*>(v.data()); }

uint32_t BigEndian(const unsigned char* p, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | p[i];
    return value;
}

uint32_t SyncSafe(const unsigned char* p) { return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu); }

bool IsIdChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

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

// ID3v2.3 knows the encodings 0 and 1 alone: the strings of a body in UTF-16
// big-endian (2) or UTF-8 (3) become UTF-16 with a byte-order mark. Bodies of
// other layouts stay as they are.
std::string Version3Text(std::string_view id, std::string body) {
    const std::size_t fixed = id[0] == 'T' ? 1 : (id == "COMM" || id == "USLT" || id == "USER") ? 4 : 0;
    if (fixed == 0 || body.size() < fixed || (body[0] != 2 && body[0] != 3)) return body;
    const int encoding = body[0];
    const std::string_view view(body);
    std::string out = '\1' + body.substr(1, fixed - 1);
    for (std::size_t pos = fixed; pos < view.size();) {
        std::size_t termLength = 0;
        const std::size_t term = FindTerminator(encoding, view, pos, termLength);
        const std::string_view text = view.substr(pos, term == std::string_view::npos ? term : term - pos);
        out += Utf8ToUtf16(encoding == 3 ? std::string(text) : Utf16ToUtf8(text, true));
        if (term == std::string_view::npos) break;
        out.append(2, '\0');
        pos = term + termLength;
    }
    return out;
}

} // namespace

bool TId3Layout::ValidId(std::string_view bytes) const {
    return bytes.size() >= idLength && std::all_of(bytes.begin(), bytes.begin() + static_cast<long>(idLength), IsIdChar);
}

TId3v2Frames::TId3v2Frames(TSourceWindow& file) : file_(file), window_(&file) {
    unsigned char h[10] = {};
    const std::string_view head = file_.View(0, 10);
    if (head.size() < 10) return;
    std::memcpy(h, head.data(), head.size());
    if (head.substr(0, 3) != "ID3" || h[3] == 0xFF || h[4] == 0xFF ||
        ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0)
        return;
    present_ = true;
    version_ = h[3];
    flags_ = h[5];
    size_ = SyncSafe(h + 6);
    layout_ = {version_ == 2 || version_ == 4 ? version_ : 3, version_ == 2 ? 3u : 4u, version_ == 2 ? 6u : 10u, false};
    framesEnd_ = 10 + static_cast<int64_t>(size_);

    if ((flags_ & 0x80) != 0 && layout_.version != 4) {
        const int64_t end = std::min(framesEnd_, file_.Size());
        std::string raw(static_cast<std::size_t>(end), '\0');
        raw.resize(file_.Source().ReadAt(0, raw.data(), raw.size()));
        copy_ = raw.substr(0, 10) + RemoveUnsynchronisation(std::string_view(raw).substr(10));
        copySource_.emplace(copy_);
        copyWindow_.emplace(*copySource_, copy_.size());
        window_ = &*copyWindow_;
        framesEnd_ = static_cast<int64_t>(copy_.size());
    } else {
        layout_.unsynchronised = (flags_ & 0x80) != 0;
    }

    // The frames begin past an extended header; there are none to walk in a
    // compressed version 2 tag or after a damaged extended header.
    pos_ = 10;
    if ((flags_ & 0x40) != 0) {
        const std::string_view ext = window_->View(10, 4);
        if (layout_.version == 2 || ext.size() < 4) {
            pos_ = framesEnd_;
        } else {
            const int64_t next = layout_.version == 4 ? 10 + static_cast<int64_t>(SyncSafe(Bytes(ext)))
                                                      : 14 + static_cast<int64_t>(BigEndian(Bytes(ext), 4));
            pos_ = std::min(next, framesEnd_);
        }
    }
}

int64_t TId3v2Frames::End() const {
    if (!present_) return 0;
    const bool footer = version_ == 4 && (flags_ & 0x10) != 0;
    return 10 + static_cast<int64_t>(size_) + (footer ? 10 : 0);
}

int64_t TId3v2Frames::ScanStart() const {
    // Never inside the tag: a damaged frame stops the walk early, and a
    // picture's bytes must not be taken for audio.
    return std::min<int64_t>(End(), file_.Size());
}

uint32_t TId3v2Frames::FrameSize(int64_t pos) {
    const std::string_view header = window_->View(pos, layout_.headerLength);
    const unsigned char* p = Bytes(header) + layout_.idLength;
    if (layout_.version == 2) return BigEndian(p, 3);
    const uint32_t plain = BigEndian(p, 4);
    if (layout_.version != 4 || ((p[0] | p[1] | p[2] | p[3]) & 0x80) != 0) return plain;
    // Version 4 sizes are sync-safe, unless the plain reading is the one that
    // lands on the next frame (as some writers stored them).
    const uint32_t syncSafe = SyncSafe(p);
    if (syncSafe == plain) return plain;
    const int64_t body = pos + static_cast<int64_t>(layout_.headerLength);
    if (!IsId3FrameBoundary(*window_, body + syncSafe, framesEnd_, layout_) &&
        IsId3FrameBoundary(*window_, body + plain, framesEnd_, layout_))
        return plain;
    return syncSafe;
}

bool TId3v2Frames::Next(TId3Frame& frame) {
    const int64_t headerLength = static_cast<int64_t>(layout_.headerLength);
    if (pos_ + headerLength > framesEnd_) return false;
    const std::string_view view = window_->View(pos_, layout_.headerLength);
    if (static_cast<int64_t>(view.size()) < headerLength || !layout_.ValidId(view)) return false;
    unsigned char header[10] = {};
    std::memcpy(header, view.data(), view.size());
    const uint32_t size = FrameSize(pos_);
    const int64_t body = pos_ + headerLength;
    if (body + size > framesEnd_) return false;

    const std::string_view rawId(reinterpret_cast<const char*>(header), layout_.idLength);
    frame.id = layout_.version == 2 ? Version3Id(rawId) : rawId;
    frame.start = pos_;
    frame.body = body;
    frame.size = size;
    frame.status = header[8];
    frame.format = header[9];
    frame.prefix = 0;
    frame.readable = true;
    frame.unsynchronised = false;
    if (layout_.version == 3) {
        frame.readable = (frame.format & 0xC0) == 0; // compressed or encrypted
        frame.prefix = (frame.format & 0x20) ? 1 : 0;
    } else if (layout_.version == 4) {
        frame.readable = (frame.format & 0x0C) == 0;
        frame.prefix = ((frame.format & 0x40) ? 1 : 0) + ((frame.format & 0x01) ? 4 : 0);
        frame.unsynchronised = layout_.unsynchronised || (frame.format & 0x02);
    }
    if (frame.prefix > size) frame.readable = false;
    pos_ = body + size;
    return true;
}

std::string TId3v2Frames::Copy(int64_t from, std::size_t length) {
    // Read past the window, which stays where the frames are walked. A size
    // the tag claims is never made room for beyond what the file holds.
    const int64_t held = std::max<int64_t>(window_->Size() - from, 0);
    std::string bytes(static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(length), held)), '\0');
    bytes.resize(window_->Source().ReadAt(from, bytes.data(), bytes.size()));
    return bytes;
}

std::string TId3v2Frames::Body(const TId3Frame& frame) {
    std::string body = Copy(frame.body + frame.prefix, frame.size - frame.prefix);
    return frame.unsynchronised ? RemoveUnsynchronisation(body) : body;
}

std::optional<std::string> TId3v2Frames::AsVersion3(const TId3Frame& frame) {
    switch (layout_.version) {
    case 2: {
        // A version 2 link names the frame it points to with three letters.
        if (frame.id.empty() || frame.id == "LINK") return std::nullopt;
        const std::string body = Copy(frame.body, frame.size);
        if (body.size() < frame.size) return std::nullopt;
        return Version3Frame(frame.id, body);
    }
    case 4:
        if (!frame.readable || (frame.status & 0x40) != 0) return std::nullopt;
        return Version3Frame(frame.id, Version3Text(frame.id, Body(frame)));
    default: {
        if ((frame.status & 0x80) != 0) return std::nullopt;
        const std::size_t length = layout_.headerLength + frame.size;
        std::string whole = Copy(frame.start, length);
        if (whole.size() < length) return std::nullopt;
        return whole;
    }
    }
}

bool IsId3FrameBoundary(TSourceWindow& tag, int64_t pos, int64_t tagEnd, const TId3Layout& layout) {
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

std::string RemoveUnsynchronisation(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == '\xFF' && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
    }
    return out;
}

std::string SyncSafeBytes(uint32_t value) {
    return {static_cast<char>((value >> 21) & 0x7F), static_cast<char>((value >> 14) & 0x7F),
            static_cast<char>((value >> 7) & 0x7F), static_cast<char>(value & 0x7F)};
}

std::string Version3FrameHeader(std::string_view id, uint32_t bodySize) {
    std::string header(id);
    header += {static_cast<char>(bodySize >> 24), static_cast<char>(bodySize >> 16), static_cast<char>(bodySize >> 8),
               static_cast<char>(bodySize), '\0', '\0'};
    return header;
}

std::string Version3Frame(std::string_view id, std::string_view body) {
    return Version3FrameHeader(id, static_cast<uint32_t>(body.size())) + std::string(body);
}
