#include "media/textcodec.h"

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

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        uint32_t cp;
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
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += length;
    }
    return true;
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
