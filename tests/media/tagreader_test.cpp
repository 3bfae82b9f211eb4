#include "media/tagreader.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "core/fileio.h"
#include "media/mp3tag.h"
#include "media/picturefile.h"
#include "mp3builder.h"
#include "tempdir.h"

using namespace std::string_literals;

namespace {

const std::string kAudio = mp3::Frames(3);

class TagReaderTest : public ::testing::Test {
protected:
    void Load(const std::string& bytes) {
        mp3::WriteFile(path, bytes);
        ASSERT_EQ(item.LoadFromFile(path), 0);
    }
    std::string V(const std::string& key) const { return item.GetValue(key); }
    std::string Keys() const {
        std::string keys;
        item.Values().ForEach([&](std::string_view name, std::string_view) { keys.append(name).append(" "); });
        return keys;
    }
    std::string Picture(int n) const {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(data.Path() + V("APIC." + std::to_string(n) + ".filename"), bytes)) << n;
        return bytes;
    }

    TempDir dir;
    TempDir data;
    std::string path = dir / "a.mp3";
    TMediaEnvironment env{data.Path(), "GB18030"};
    TMP3Tag item{env};
};

} // namespace

TEST_F(TagReaderTest, Version3TagGivesItsFramesInOrderAndTheAudioAfterThePadding) {
    Load(mp3::Tag(3).Text("TIT2", "Song").Text("TPE1", "Band").Padding(10).Build() + mp3::Frame("\xFF\xF3\x88\xC4"));
    EXPECT_EQ(Keys(), "filename TAG version flags.a flags.b flags.c header_size TIT2 TPE1 mpeg_level mpeg_layer TC_BR "
                      "frequency padding channel TC_SIZE date_modified ");
    EXPECT_EQ(V("TAG"), "ID3");
    EXPECT_EQ(V("version"), "3");
    EXPECT_EQ(V("flags.a"), "0");
    EXPECT_EQ(V("header_size"), "40");
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(V("TPE1"), "Band");
    EXPECT_EQ(V("TC_BR"), "64");
    EXPECT_EQ(V("TC_SIZE"), "467");
    EXPECT_FALSE(item.IsModified());
}

TEST_F(TagReaderTest, AudioRightAfterATagWithoutPaddingIsNeverReadAsAFrame) {
    Load(mp3::Tag(3).Text("TIT2", "Song").Build() + mp3::Frame("\xFF\xF3\x88\xC4"));
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(V("mpeg_level"), "2");
    EXPECT_EQ(Keys().find("\xFF"), std::string::npos);
}

TEST_F(TagReaderTest, TextOfEveryEncodingBecomesUtf8) {
    for (int version : {3, 4}) {
        Load(mp3::Tag(version)
                 .Text("TIT2", "歌曲 1", 1)
                 .Text("TPE1", "歌手", 2)
                 .Text("TALB", "专辑", 3)
                 .Frame("TYER", std::string("\0\xB8\xE8\xC7\xFA", 5)) // GBK bytes under encoding 0
                 .Text("TCOM", "Ünïcode", 0)                         // UTF-8 bytes under encoding 0
                 .Frame("TEXT", std::string("\0caf\xE9", 5))         // neither: ISO-8859-1
                 .Frame("TIT3", std::string("\x01\xFE\xFF\0h\0i\0\0\0x", 11)) // big-endian mark, then a second text
                 .Padding(20)
                 .Build() +
             kAudio);
        EXPECT_EQ(V("TIT2"), "歌曲 1") << version;
        EXPECT_EQ(V("TPE1"), "歌手");
        EXPECT_EQ(V("TALB"), "专辑");
        EXPECT_EQ(V("TYER"), "歌曲");
        EXPECT_EQ(V("TCOM"), "Ünïcode");
        EXPECT_EQ(V("TEXT"), "café");
        EXPECT_EQ(V("TIT3"), version == 4 ? "hi/x" : "hi");
    }
}

TEST_F(TagReaderTest, LegacyCodePageComesFromTheEnvironment) {
    TMediaEnvironment big5(data.Path(), "BIG5");
    TMP3Tag other(big5);
    mp3::WriteFile(path, mp3::Tag(3).Frame("TIT2", std::string("\0\xBA\x71", 3)).Build() + kAudio);
    ASSERT_EQ(other.LoadFromFile(path), 0);
    EXPECT_EQ(other.GetTitle(), "歌");
}

TEST_F(TagReaderTest, Version4SizesAreSyncSafeAndPlainSizesOfSomeWritersStillRead) {
    const std::string longTitle(300, 'x');
    Load(mp3::Tag(4).Text("TIT2", longTitle).Text("TPE1", "Band").Padding(16).Build() + kAudio);
    EXPECT_EQ(V("TIT2"), longTitle);
    EXPECT_EQ(V("TPE1"), "Band");

    // Sizes written as plain numbers in a version 4 tag.
    const std::string body = mp3::TextBody(0, longTitle);
    std::string frames = "TIT2" + mp3::BigEndian32(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
    frames += "TPE1" + mp3::BigEndian32(5) + std::string(2, '\0') + mp3::TextBody(0, "Band");
    Load(mp3::Tag(4).Raw(frames).Padding(16).Build() + kAudio);
    EXPECT_EQ(V("TIT2"), longTitle);
    EXPECT_EQ(V("TPE1"), "Band");
}

TEST_F(TagReaderTest, Version2IdentifiersAreReadAsTheirVersion3Names) {
    const std::string png = mp3::PngData(300);
    Load(mp3::Tag(2)
             .Text("TT2", "Song")
             .Text("TP1", "Band")
             .Text("TAL", "Album")
             .Text("TYE", "1999")
             .Text("TCO", "(17)")
             .Frame("COM", mp3::CommentBody(0, "eng", "", "Nice"))
             .Frame("ULT", mp3::CommentBody(1, "eng", "", "la\nla"))
             .Frame("PIC", std::string("\0PNG\x03", 5) + std::string("cover", 5) + std::string(1, '\0') + png)
             .Frame("XYZ", "\0unknown"s)
             .Text("TRK", "3/9")
             .Padding(30)
             .Build() +
         kAudio);
    EXPECT_EQ(item.GetTitle(), "Song");
    EXPECT_EQ(item.GetArtist(), "Band");
    EXPECT_EQ(item.GetAlbum(), "Album");
    EXPECT_EQ(item.GetYear(), "1999");
    EXPECT_EQ(item.GetGenre(), "Rock");
    EXPECT_EQ(item.GetComment(), "Nice");
    EXPECT_EQ(item.GetLyrics(), "la\\nla");
    EXPECT_EQ(V("TRCK"), "3/9");
    EXPECT_EQ(V("XYZ"), "");
    EXPECT_EQ(V("APIC.0.mimetype"), "image/png");
    EXPECT_EQ(V("APIC.0.description"), "cover");
    EXPECT_EQ(Picture(0), png);
    EXPECT_EQ(V("TC_BR"), "128");
}

TEST_F(TagReaderTest, ExtendedHeadersAreSkippedBySize) {
    const std::string ext3 = mp3::BigEndian32(6) + std::string(6, '\0');
    Load(mp3::Tag(3, 0x40).Raw(ext3).Text("TIT2", "Three").Padding(8).Build() + kAudio);
    EXPECT_EQ(V("flags.b"), "1");
    EXPECT_EQ(V("TIT2"), "Three");
    const std::string ext4 = mp3::SyncSafe(6) + std::string("\x01\x00", 2);
    Load(mp3::Tag(4, 0x40).Raw(ext4).Text("TIT2", "Four").Padding(8).Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "Four");
}

TEST_F(TagReaderTest, UnsynchronisationIsUndone) {
    // Version 3: the whole tag, FF 00 pairs included in the sizes.
    const std::string picture = std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF" + std::string("\xFF\xD9", 2);
    std::string synced;
    for (char c : mp3::PictureBody(0, "image/jpeg", 3, "", picture)) {
        synced += c;
        if (c == '\xFF') synced += '\0';
    }
    const std::string frame = "APIC" + mp3::BigEndian32(static_cast<uint32_t>(synced.size() - 3)) + std::string(2, '\0') + synced;
    Load(mp3::Tag(3, 0x80).Text("TIT2", "Song").Raw(frame).Padding(4).Build() + kAudio);
    EXPECT_EQ(V("flags.a"), "1");
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(Picture(0), picture);
    EXPECT_EQ(V("TC_BR"), "128");

    // Version 4: per frame, with a data length indicator before the body.
    const std::string body = std::string("\0a\xFF\0b", 5);
    const std::string frame4 = "TIT2" + mp3::SyncSafe(9) + std::string("\x00\x03", 2) + mp3::SyncSafe(4) + body;
    Load(mp3::Tag(4).Raw(frame4).Text("TPE1", "Band").Padding(4).Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "a\xC3\xBF" "b"); // FF is ÿ in ISO-8859-1
    EXPECT_EQ(V("TPE1"), "Band");
}

TEST_F(TagReaderTest, CompressedAndEncryptedFramesArePassedOver) {
    Load(mp3::Tag(3).Frame("TIT2", "\0zlib"s, 0x0080).Frame("TPE1", "\0secret"s, 0x0040).Text("TALB", "Album").Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "");
    EXPECT_EQ(V("TPE1"), "");
    EXPECT_EQ(V("TALB"), "Album");
}

TEST_F(TagReaderTest, CommentsAndLyricsTakeTheTextAfterLanguageAndDescriptor) {
    Load(mp3::Tag(3)
             .Frame("COMM", mp3::CommentBody(0, "eng", "", "Great"))
             .Frame("USLT", mp3::CommentBody(1, "chi", "", "\r\nline1\r\n\r\nline2\r\n"))
             .Build() +
         kAudio);
    EXPECT_EQ(item.GetComment(), "Great");
    EXPECT_EQ(item.GetLyrics(), "line1\\n\\nline2");

    // The layout of a text frame (no language, no descriptor) stays readable.
    Load(mp3::Tag(3).Frame("COMM", mp3::TextBody(0, "Plain note")).Frame("COMM", "\0ab"s).Build() + kAudio);
    EXPECT_EQ(item.GetComment(), "ab");
    Load(mp3::Tag(3).Frame("COMM", mp3::TextBody(1, "a一")).Build() + kAudio);
    EXPECT_EQ(item.GetComment(), "a一");
}

TEST_F(TagReaderTest, TheCommentWithoutDescriptorWinsOverDescribedOnes) {
    Load(mp3::Tag(3)
             .Frame("COMM", mp3::CommentBody(0, "eng", "iTunNORM", "0000 1111"))
             .Frame("COMM", mp3::CommentBody(1, "eng", "", "The comment"))
             .Frame("COMM", mp3::CommentBody(0, "eng", "ID3v1 Comment", "later note"))
             .Build() +
         kAudio);
    EXPECT_EQ(item.GetComment(), "The comment");
    Load(mp3::Tag(3).Frame("COMM", mp3::CommentBody(0, "eng", "Only", "described")).Build() + kAudio);
    EXPECT_EQ(item.GetComment(), "described");
}

TEST_F(TagReaderTest, ContentTypeFollowsTheGenreRule) {
    const std::pair<std::string, std::string> cases[] = {
        {"(13)", "Pop"}, {"(255)", "Other"}, {"()", "Pop"},       {"(17)Rock", "Rock"}, {"(17", "17"},
        {"Rock", "Rock"}, {"(RX)", "Other"}, {" (0) ", "Blues"}, {"17", "17"},         {"Lo-Fi (x", "x"},
    };
    for (const auto& [text, genre] : cases) {
        Load(mp3::Tag(3).Text("TCON", text).Build() + kAudio);
        EXPECT_EQ(item.GetGenre(), genre) << text;
    }
    Load(mp3::Tag(4).Text("TCON", "17").Build() + kAudio);
    EXPECT_EQ(item.GetGenre(), "Rock");
}

TEST_F(TagReaderTest, UrlFramesHoldTheAddressAlone) {
    Load(mp3::Tag(3)
             .Frame("WOAF", "http://a/file")
             .Frame("WCOM", std::string("\0http://b/buy", 13))
             .Frame("WPUB", "http://c/")
             .Frame("WXXX", "\x01"s + mp3::Encode(1, "Home") + mp3::Terminator(1) + "http://d/")
             .Build() +
         kAudio);
    EXPECT_EQ(V("WOAF"), "http://a/file");
    EXPECT_EQ(V("WCOM"), "http://b/buy");
    EXPECT_EQ(V("WPUB"), "http://c/");
    EXPECT_EQ(V("WXXX"), "http://d/");
}

TEST_F(TagReaderTest, Id3v1OnlyFileIsReadAndMarkedModified) {
    const std::string title30(30, 'T');
    Load(kAudio + mp3::Id3v1(title30 + "ignored", " Band ", "\xD7\xA8\xBC\xAD", "1999", "Nice", 17));
    EXPECT_EQ(V("TAG"), "TAG");
    EXPECT_EQ(item.GetTitle(), title30);
    EXPECT_EQ(item.GetArtist(), "Band");
    EXPECT_EQ(item.GetAlbum(), "专辑");
    EXPECT_EQ(item.GetYear(), "1999");
    EXPECT_EQ(item.GetComment(), "Nice");
    EXPECT_EQ(item.GetGenre(), "Rock");
    EXPECT_TRUE(item.IsModified());
    EXPECT_EQ(V("TC_BR"), "128");

    Load(kAudio + mp3::Id3v1("", "", "", "", "", 255));
    EXPECT_EQ(item.GetGenre(), "Other");
    EXPECT_EQ(item.GetTitle(), "a.mp3");
}

TEST_F(TagReaderTest, FileWithoutTagsStoresItsLastBytesAsTagAndNothingMore) {
    Load(kAudio);
    EXPECT_EQ(Keys(), "filename mpeg_level mpeg_layer TC_BR frequency padding channel TC_SIZE date_modified ");
    EXPECT_EQ(item.GetArtist(), "");
    EXPECT_EQ(item.GetGenre(), "Blues");
    // Whatever the last bytes hold, the value stays on its line.
    Load(kAudio + "\r\nX" + std::string(125, '\0'));
    EXPECT_EQ(V("TAG"), " X");
}

TEST_F(TagReaderTest, PicturesGoToPictureFilesNamedAfterTheAudioFile) {
    const std::string jpeg = mp3::JpegData(5000, 1), png = mp3::PngData(3000, 2);
    Load(mp3::Tag(3)
             .Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "Front", jpeg))
             .Frame("APIC", mp3::PictureBody(1, "image/png", 4, "背面", png))
             .Text("TIT2", "After")
             .Padding(64)
             .Build() +
         kAudio);
    EXPECT_EQ(V("APIC.num"), "2");
    EXPECT_EQ(V("APIC.0.mimetype"), "image/jpeg");
    EXPECT_EQ(V("APIC.0.pictype"), "3");
    EXPECT_EQ(V("APIC.0.description"), "Front");
    EXPECT_EQ(V("APIC.0.filename"), PictureFileName(path, 0, ".jpg"));
    EXPECT_EQ(V("APIC.1.pictype"), "4");
    EXPECT_EQ(V("APIC.1.description"), "背面");
    EXPECT_EQ(V("APIC.1.filename"), PictureFileName(path, 1, ".png"));
    EXPECT_EQ(Picture(0), jpeg);
    EXPECT_EQ(Picture(1), png);
    EXPECT_EQ(V("TIT2"), "After");
    EXPECT_EQ(item.GetPictureFileName(), data.Path() + V("APIC.0.filename"));
}

TEST_F(TagReaderTest, PicturesOfAnySizeAreCopiedWhole) {
    const std::string cover = mp3::JpegData(700 * 1024, 3);
    Load(mp3::Tag(3).Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", cover)).Text("TIT2", "After").Build() + kAudio);
    EXPECT_EQ(Picture(0), cover);
    EXPECT_EQ(V("TIT2"), "After");
}

TEST_F(TagReaderTest, PicturesWhoseSizeCountsTheDataAloneStillRead) {
    const std::string jpeg = mp3::JpegData(2000, 4);
    const std::string body = mp3::PictureBody(0, "image/jpeg", 3, "d", jpeg);
    for (const std::string& after : {std::string(10, '\0'), mp3::Tag(3).Text("TPE1", "Next").Build().substr(10) + std::string(10, '\0')}) {
        Load(mp3::Tag(3).Text("TIT2", "Song").FrameWithSize("APIC", body, static_cast<uint32_t>(jpeg.size())).Raw(after).Build() +
             kAudio);
        EXPECT_EQ(Picture(0), jpeg);
        EXPECT_EQ(V("TIT2"), "Song");
        EXPECT_EQ(V("TPE1"), after.size() > 10 ? "Next" : "");
        EXPECT_EQ(V("TC_BR"), "128");
        EXPECT_EQ(Keys().find('\xFF'), std::string::npos);
    }
}

TEST_F(TagReaderTest, PictureFramesShorterThanTheirHeaderArePassedOver) {
    Load(mp3::Tag(3).Frame("APIC", std::string("\0image/jp", 9)).Text("TIT2", "Song").Padding(4).Build() + kAudio);
    EXPECT_EQ(V("APIC.num"), "");
    EXPECT_EQ(V("TIT2"), "Song");
    Load(mp3::Tag(3).Frame("APIC", "").Frame("TPE1", "").Text("TIT2", "Song").Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "Song");
}

TEST_F(TagReaderTest, TextFramesFromTheBufferSizeOnArePassedOverAndTheRestStillRead) {
    Load(mp3::Tag(3).Text("TXXX", std::string(131072, 'a')).Text("TIT2", "Song").Text("TPE1", std::string(131070, 'b')).Build() +
         kAudio);
    EXPECT_EQ(V("TXXX"), "");
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(V("TPE1").size(), 131070u);
}

TEST_F(TagReaderTest, InvalidIdentifiersEndTheFramesAndTheAudioIsFoundAfterTheTag) {
    Load(mp3::Tag(3).Text("TIT2", "Song").Frame("size", "\0x"s).Text("TPE1", "Band").Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(V("TPE1"), "");
    EXPECT_EQ(V("TC_BR"), "128");
}

TEST_F(TagReaderTest, DamagedTagsNeverReadOutsideTheTagOrTheFile) {
    // A frame that claims more than the tag holds, a tag that claims more
    // than the file holds, and a picture that claims gigabytes.
    Load(mp3::Tag(3).Text("TIT2", "Song").FrameWithSize("TPE1", "\0Band"s, 1000).Padding(4).Build() + kAudio);
    EXPECT_EQ(V("TIT2"), "Song");
    EXPECT_EQ(V("TPE1"), "");
    Load(mp3::Tag(3).Text("TIT2", "Song").DeclaredSize(0x0FFFFFFF).Build());
    EXPECT_EQ(V("TIT2"), "Song");
    Load(mp3::Tag(3).FrameWithSize("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", "abc"), 0xFFFFFFF0).Build());
    EXPECT_EQ(V("APIC.num"), "");
}

TEST_F(TagReaderTest, TruncatedAndMutatedFilesNeverCrash) {
    const std::string whole = mp3::Tag(3)
                                  .Text("TIT2", "Song", 1)
                                  .Frame("COMM", mp3::CommentBody(1, "eng", "", "c"))
                                  .Frame("APIC", mp3::PictureBody(1, "image/png", 3, "x", mp3::PngData(200)))
                                  .Frame("USLT", mp3::CommentBody(0, "eng", "", "a\nb"))
                                  .Padding(16)
                                  .Build() +
                              mp3::Frames(2) + mp3::Id3v1("t", "a", "b", "2000", "c", 3);
    for (std::size_t length = 0; length <= whole.size(); length += 7) Load(whole.substr(0, length));
    for (int version : {2, 3, 4}) {
        std::mt19937 random(static_cast<unsigned>(version));
        std::string mutated = whole;
        mutated[3] = static_cast<char>(version);
        for (int round = 0; round < 300; ++round) {
            std::string bytes = mutated;
            for (int k = 0; k < 8; ++k) bytes[random() % 420] = static_cast<char>(random());
            Load(bytes);
            EXPECT_LE(item.GetText().size(), 4000u);
        }
    }
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data.Path(), ignored))
        if (entry.is_regular_file()) {
            EXPECT_LE(entry.file_size(), whole.size());
        }
}

TEST_F(TagReaderTest, MissingFilesAndFoldersCannotBeLoaded) {
    EXPECT_EQ(item.LoadFromFile(dir / "absent.mp3"), -1);
    EXPECT_FALSE(item.IsValid());
    EXPECT_EQ(item.LoadFromFile(dir.Path()), -1);
    EXPECT_FALSE(item.IsValid());
}

TEST_F(TagReaderTest, ReloadTagsRereadsAndClearsTheModifiedMark) {
    Load(kAudio + mp3::Id3v1("Old", "Band", "", "", "", 1));
    ASSERT_TRUE(item.IsModified());
    EXPECT_EQ(item.ReloadTags(), 0);
    EXPECT_EQ(item.GetTitle(), "Old");
    EXPECT_EQ(V("TC_BR"), "128");
    EXPECT_FALSE(item.IsModified());

    // The ID3v1 tag gave way to an ID3v2 one.
    mp3::WriteFile(path, mp3::Tag(3).Text("TIT2", "New").Build() + kAudio);
    item.ReloadTags();
    EXPECT_EQ(item.GetTitle(), "New");
    EXPECT_EQ(V("TAG"), "ID3");

    item.SetTitle("Changed");
    item.ReloadTags();
    EXPECT_EQ(item.GetTitle(), "New");
    EXPECT_FALSE(item.IsModified());

    // A file that has gone (a drive not mounted) leaves the item as it was,
    // and its return is read again.
    const std::string before = item.GetText();
    std::filesystem::rename(path, path + ".away");
    item.SetTitle("Edited");
    EXPECT_EQ(item.ReloadTags(), -1);
    EXPECT_EQ(item.GetTitle(), "Edited");
    EXPECT_TRUE(item.IsModified());
    EXPECT_EQ(item.LoadFromFile(path), -1);
    EXPECT_EQ(item.GetTitle(), "Edited");
    std::filesystem::rename(path + ".away", path);
    EXPECT_EQ(item.ReloadTags(), 0);
    EXPECT_EQ(item.GetText(), before);

    // A new item of a file that cannot be opened stays invalid.
    TMP3Tag missing(env);
    EXPECT_EQ(missing.LoadFromFile(path + ".none"), -1);
    EXPECT_FALSE(missing.IsValid());
}

TEST(TagReaderHelpers, LyricLinesAndDosTime) {
    EXPECT_EQ(JoinLyricLines("line1\r\n\r\nline2"), "line1\\n\\nline2");
    EXPECT_EQ(JoinLyricLines("\n\n  a\rb\n\nc  \n"), "a\\nb\\n\\nc");
    EXPECT_EQ(JoinLyricLines(""), "");

    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(DosDateTime(1577934246), (40 << 25 | 1 << 21 | 2 << 16 | 3 << 11 | 4 << 5 | 3)); // 2020-01-02 03:04:06
    EXPECT_EQ(DosDateTime(0), -1); // 1970 is before DOS time
}

TEST(TagReaderHelpers, LongPictureNamesStayUniqueWithinTheFileNameLimit) {
    const std::string middle(400, 'm');
    const std::string a = "/music/" + middle + "a/song.mp3", b = "/music/" + middle + "b/song.mp3";
    const std::string nameA = PictureFileName(a, 0, ".jpg"), nameB = PictureFileName(b, 0, ".jpg");
    EXPECT_LE(nameA.size() - 8, kMaxFileNameBytes);
    EXPECT_NE(nameA, nameB);
    EXPECT_EQ(nameA.substr(0, 15), "picture/.music.");
    EXPECT_EQ(nameA.substr(nameA.size() - 14), "song.mp3.0.jpg");
    EXPECT_EQ(PictureFileName("/m/a.mp3", 1, ".png"), "picture/.m.a.mp3.1.png");
    const std::string wide = PictureFileName("/" + std::string(300, 'x') + "/歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌歌.mp3", 0, ".jpg");
    EXPECT_TRUE(IsValidUtf8(wide));
}

TEST_F(TagReaderTest, BinaryFramesGiveNoValuesAndTheRecordingTimeGivesTheYear) {
    Load(mp3::Tag(4)
             .Frame("PRIV", "WM/MediaClassPrimaryID\0\x01\x02"s)
             .Frame("POPM", "a@b\0\xC8\x03"s)
             .Frame("UFID", "owner\0id"s)
             .Frame("TXXX", "\x03replaygain_track_gain\0-6.5 dB"s)
             .Text("TDRC", "2001-05-03T10:00")
             .Text("TIT2", "Song")
             .Build() +
         kAudio);
    EXPECT_EQ(Keys().find("PRIV"), std::string::npos);
    EXPECT_EQ(Keys().find("POPM"), std::string::npos);
    EXPECT_EQ(Keys().find("UFID"), std::string::npos);
    EXPECT_EQ(Keys().find("TXXX"), std::string::npos);
    EXPECT_EQ(V("TDRC"), "2001-05-03T10:00");
    EXPECT_EQ(item.GetYear(), "2001");
    EXPECT_EQ(V("TIT2"), "Song");
    Load(mp3::Tag(4).Text("TYER", "1999").Text("TDRC", "2001").Build() + kAudio);
    EXPECT_EQ(item.GetYear(), "1999");
}

TEST_F(TagReaderTest, Version4TextFramesKeepEveryTextTheyHold) {
    Load(mp3::Tag(4)
             .Frame("TPE1", "\0歌手\0Second\0"s)
             .Frame("TCOM", "\x01"s + mp3::Encode(1, "A") + mp3::Terminator(1) + mp3::Encode(1, "B"))
             .Frame("TCON", "\x03" "17\0Jazz"s)
             .Build() +
         kAudio);
    EXPECT_EQ(item.GetArtist(), "歌手/Second");
    EXPECT_EQ(V("TCOM"), "A/B");
    EXPECT_EQ(item.GetGenre(), "Rock/Jazz");
    // Before version 4 the first zero ends the text.
    Load(mp3::Tag(3).Frame("TPE1", "\0One\0Two"s).Build() + kAudio);
    EXPECT_EQ(item.GetArtist(), "One");
}

TEST_F(TagReaderTest, TheYearOfARecordingTimeIsFourWholeCharacters) {
    Load(mp3::Tag(4).Text("TDRC", "２００１-05-03", 3).Build() + kAudio);
    EXPECT_EQ(item.GetYear(), "２００１");
    Load(mp3::Tag(4).Text("TDRC", "99", 3).Build() + kAudio);
    EXPECT_EQ(item.GetYear(), "99");
}

TEST_F(TagReaderTest, TheAudioIsNeverLookedForInsideTheTag) {
    // The last frame claims to run past the tag's end; the picture before it
    // holds bytes that look like a frame header.
    const std::string picture = mp3::JpegData(3000);
    const std::string tag = mp3::Tag(3)
                                .Text("TIT2", "Kept")
                                .Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", picture))
                                .FrameWithSize("TALB", "\0Album"s, 100000)
                                .Build();
    Load(tag + mp3::Frame("\xFF\xF3\x88\xC4"));
    EXPECT_EQ(V("TIT2"), "Kept");
    EXPECT_EQ(Picture(0), picture);
    EXPECT_EQ(V("TALB"), "");
    EXPECT_EQ(V("mpeg_level"), "2");
    EXPECT_EQ(V("frequency"), "16000");
    EXPECT_EQ(V("TC_BR"), "64");

    Load(mp3::Tag(3).FrameWithSize("APIC", "\0image/jpeg\0\3\0"s + picture, 100000).Build() + kAudio);
    EXPECT_EQ(V("TC_BR"), "128");
}

TEST_F(TagReaderTest, AnEmptyFileIsReadAsNothingButItsFacts) {
    Load("");
    EXPECT_EQ(V("TC_SIZE"), "0");
    EXPECT_EQ(V("TC_BR"), "");
    EXPECT_EQ(V("TIT2"), "");
}
