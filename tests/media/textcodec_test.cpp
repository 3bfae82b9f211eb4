#include "media/textcodec.h"

#include <gtest/gtest.h>

TEST(TextCodec, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("歌曲 ü 😀"));
    EXPECT_FALSE(IsValidUtf8("\xB8\xE8"));         // GBK for 歌
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE6\xAD"));         // cut short
}

TEST(TextCodec, Utf16FollowsTheByteOrderMarkAndStopsAtZero) {
    EXPECT_EQ(Utf16ToUtf8(std::string("\xFF\xFEh\0i\0", 6), true), "hi");
    EXPECT_EQ(Utf16ToUtf8(std::string("\xFE\xFF\0h\0i", 6), false), "hi");
    EXPECT_EQ(Utf16ToUtf8(std::string("\x4C\x6B\0\0x\0", 6), false), "歌");
    EXPECT_EQ(Utf16ToUtf8(std::string("\xD8\x3D\xDE\x00", 4), true), "😀");
    EXPECT_EQ(Utf16ToUtf8(std::string("\xD8\x3D\0a", 4), true), "\xEF\xBF\xBD" "a"); // lone surrogate
    EXPECT_EQ(Utf16ToUtf8(std::string("a\0b", 3), false), "a"); // odd byte dropped
}

TEST(TextCodec, LegacyTextKeepsUtf8AndDecodesTheCodePageElseLatin1) {
    const TLegacyCodec gb("GB18030");
    EXPECT_EQ(gb.ToUtf8("歌曲"), "歌曲");
    EXPECT_EQ(gb.ToUtf8("\xB8\xE8\xC7\xFA"), "歌曲");
    EXPECT_EQ(gb.ToUtf8("caf\xE9"), "caf\xC3\xA9"); // not GB18030 either
    const TLegacyCodec unknown("NO-SUCH-CODEPAGE");
    EXPECT_EQ(unknown.ToUtf8("\xB8\xE8"), "\xC2\xB8\xC3\xA8");
}

TEST(TextCodec, CutUtf8NeverSplitsACharacter) {
    EXPECT_EQ(CutUtf8("歌曲", 4), "歌");
    EXPECT_EQ(CutUtf8("歌曲", 6), "歌曲");
    EXPECT_EQ(CutUtf8("ab", 1), "a");
}

TEST(TextCodec, Utf16ForWritingHasAByteOrderMarkAndReadsBack) {
    EXPECT_EQ(Utf8ToUtf16(""), "\xFF\xFE");
    EXPECT_EQ(Utf8ToUtf16("a歌"), std::string("\xFF\xFE" "a\0\x4C\x6B", 6));
    for (const char* text : {"plain", "歌曲 ü", "😀 x"}) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text), true), text);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xB8" "b"), false), "a\xEF\xBF\xBD" "b"); // not UTF-8
    EXPECT_TRUE(IsAscii("a b~"));
    EXPECT_FALSE(IsAscii("é"));
}

TEST(TextCodec, LegacyTextIsWrittenInTheCodePageAndCutBetweenCharacters) {
    const TLegacyCodec gb("GB18030");
    EXPECT_EQ(gb.FromUtf8("歌曲"), "\xB8\xE8\xC7\xFA");
    EXPECT_EQ(gb.FromUtf8("a歌曲", 4), "a\xB8\xE8");
    EXPECT_EQ(gb.FromUtf8("abc", 2), "ab");
    const TLegacyCodec latin("ISO-8859-1");
    EXPECT_EQ(latin.FromUtf8("café 歌!"), "caf\xE9 ?!");
    EXPECT_EQ(latin.FromUtf8("a\xFF" "b"), "a?b");
    const TLegacyCodec unknown("NO-SUCH-CODEPAGE");
    EXPECT_EQ(unknown.FromUtf8("é歌"), "\xE9?");
}
