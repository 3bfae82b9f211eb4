#include "media/textcodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr uint32_t kReplacement = 0xFFFD;

// The length of the UTF-8 character at p and its code point; 0 when the
// bytes there are not one.
std::size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, uint32_t& cp) {
    const unsigned char c = *p;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t length;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

const unsigned char* Unsigned(std::string_view bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    const unsigned char* p = Unsigned(bytes);
    const unsigned char* end = p + bytes.size();
    uint32_t cp = 0;
    while (p < end) {
        const std::size_t length = DecodeUtf8(p, end, cp);
        if (length == 0) return false;
        p += length;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string Utf8ToUtf16(std::string_view text) {
    std::string out = "\xFF\xFE";
    out.reserve(2 + text.size() * 2);
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    const unsigned char* p = Unsigned(text);
    const unsigned char* end = p + text.size();
    while (p < end) {
        uint32_t cp = 0;
        const std::size_t length = DecodeUtf8(p, end, cp);
        if (length == 0) cp = kReplacement;
        p += length == 0 ? 1 : length;
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t units = bytes.size() / 2;
    std::size_t i = 0;
    auto unit = [&](std::size_t k) -> uint32_t {
        return bigEndian ? (p[2 * k] << 8 | p[2 * k + 1]) : (p[2 * k + 1] << 8 | p[2 * k]);
    };
    if (units > 0) {
        const uint32_t first = unit(0);
        if (first == 0xFEFF) {
            i = 1;
        } else if (first == 0xFFFE) {
            bigEndian = !bigEndian;
            i = 1;
        }
    }
    std::string out;
    out.reserve(units);
    for (; i < units; ++i) {
        const uint32_t u = unit(i);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

TLegacyCodec::TLegacyCodec(std::string codepage) : codepage_(std::move(codepage)) {}

TLegacyCodec::~TLegacyCodec() {
    if (decoder_ != reinterpret_cast<iconv_t>(-1)) iconv_close(decoder_);
    if (encoder_ != reinterpret_cast<iconv_t>(-1)) iconv_close(encoder_);
}

std::string TLegacyCodec::ToUtf8(std::string_view bytes) const {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    {
        std::lock_guard lock(mutex_);
        if (decoder_ == reinterpret_cast<iconv_t>(-1)) decoder_ = iconv_open("UTF-8", codepage_.c_str());
        if (decoder_ != reinterpret_cast<iconv_t>(-1)) {
            iconv(decoder_, nullptr, nullptr, nullptr, nullptr);
            std::string out(bytes.size() * 4 + 4, '\0');
            char* in = const_cast<char*>(bytes.data());
            std::size_t inLeft = bytes.size();
            char* dst = out.data();
            std::size_t outLeft = out.size();
            if (iconv(decoder_, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1) &&
                iconv(decoder_, nullptr, nullptr, &dst, &outLeft) != static_cast<std::size_t>(-1)) {
                out.resize(out.size() - outLeft);
                return out;
            }
        }
    }
    return Latin1ToUtf8(bytes);
}

std::string TLegacyCodec::FromUtf8(std::string_view text, std::size_t maxBytes) const {
    // Four bytes hold any character of a code page iconv converts to.
    std::string out(std::min(maxBytes, text.size() * 4), '\0');
    char* dst = out.data();
    std::size_t outLeft = out.size();
    std::lock_guard lock(mutex_);
    if (encoder_ == reinterpret_cast<iconv_t>(-1)) encoder_ = iconv_open(codepage_.c_str(), "UTF-8");
    if (encoder_ == reinterpret_cast<iconv_t>(-1)) encoder_ = iconv_open("ISO-8859-1", "UTF-8");
    if (encoder_ == reinterpret_cast<iconv_t>(-1)) return {};
    iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    // iconv stops before a character that does not fit (E2BIG), so the cut
    // never splits one; a character it cannot convert is replaced and passed.
    while (inLeft > 0 && iconv(encoder_, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) &&
           errno != E2BIG && outLeft > 0) {
        *dst++ = '?';
        --outLeft;
        uint32_t cp = 0;
        const unsigned char* at = Unsigned({in, inLeft});
        const std::size_t length = DecodeUtf8(at, at + inLeft, cp);
        const std::size_t skip = length == 0 ? 1 : length;
        in += skip;
        inLeft -= skip;
    }
    out.resize(out.size() - outLeft);
    return out;
}
