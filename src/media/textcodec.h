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

private:
    std::string codepage_;
    mutable std::mutex mutex_;
    mutable iconv_t decoder_ = reinterpret_cast<iconv_t>(-1);
};
