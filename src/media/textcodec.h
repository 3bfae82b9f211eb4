#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include <iconv.h>

// Text encodings of tags. Values are UTF-8 everywhere in the program; tag text
// is turned into UTF-8 when it is read.

bool IsValidUtf8(std::string_view bytes);

// UTF-16 code units to UTF-8, up to the first zero code unit. A byte-order
// mark, when present, decides the byte order and is dropped; without one the
// given order is used. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

std::string Latin1ToUtf8(std::string_view bytes);

bool IsAscii(std::string_view text);

// UTF-8 to UTF-16 little-endian after a byte-order mark (FF FE), the form
// ID3v2.3 writes; bytes that are not UTF-8 become U+FFFD.
std::string Utf8ToUtf16(std::string_view text);

// Cuts a UTF-8 text to at most maxBytes without splitting a character.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

// The legacy 8-bit code page of tag text (setting "tags.codepage"): text that
// is valid UTF-8 is kept, other text is decoded from the code page and, when it
// is not valid there either, from ISO-8859-1.
class TLegacyCodec {
public:
    explicit TLegacyCodec(std::string codepage);
    ~TLegacyCodec();
    TLegacyCodec(const TLegacyCodec&) = delete;
    TLegacyCodec& operator=(const TLegacyCodec&) = delete;

    const std::string& Codepage() const { return codepage_; }

    std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 text in the code page (ISO-8859-1 when iconv does not know it),
    // at most maxBytes long and cut between characters; characters the code
    // page cannot hold become "?".
    std::string FromUtf8(std::string_view text, std::size_t maxBytes = std::string_view::npos) const;

private:
    std::string codepage_;
    mutable std::mutex mutex_;
    mutable iconv_t decoder_ = reinterpret_cast<iconv_t>(-1);
    mutable iconv_t encoder_ = reinterpret_cast<iconv_t>(-1);
};
