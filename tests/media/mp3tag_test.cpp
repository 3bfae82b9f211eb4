#include "media/mp3tag.h"

#include <gtest/gtest.h>

namespace {

class Mp3TagTest : public ::testing::Test {
protected:
    TMediaEnvironment env{"/data/", "GB18030"};
    TMP3Tag item{env};
};

} // namespace

TEST_F(Mp3TagTest, SettersStoreTheirFrameAndMarkTheItemModified) {
    item.LoadFromText("filename=/m/a.mp3\r\nmodified=false\r\n");
    EXPECT_FALSE(item.IsModified());
    item.SetTitle("Song");
    item.SetArtist("Band");
    item.SetAlbum("Album");
    item.SetYear("1999");
    item.SetGenre("  Rock \t");
    item.SetComment("Nice");
    item.SetLyrics("a\\nb");
    EXPECT_TRUE(item.IsModified());
    EXPECT_EQ(item.GetText(),
              "filename=/m/a.mp3\r\nmodified=true\r\nTIT2=Song\r\nTPE1=Band\r\nTALB=Album\r\nTYER=1999\r\n"
              "TCON=Rock\r\nCOMM=Nice\r\nUSLT=a\\nb\r\n");
    item.SetValue("TPE1", "Else");
    item.SetValue("modified", "false");
    EXPECT_FALSE(item.IsModified());
    EXPECT_EQ(item.GetArtist(), "Else");
}

TEST_F(Mp3TagTest, TitleFallsBackToTheFileNameAndTheTypeIsTheExtensionAfterTheLastSlash) {
    item.LoadFromText("filename=/Music.d/sub/a.MP3\r\n");
    EXPECT_EQ(item.GetTitle(), "a.MP3");
    EXPECT_EQ(item.GetFileType(), ".MP3");
    item.LoadFromText("filename=/Music.d/noext\r\n");
    EXPECT_EQ(item.GetFileType(), "");
    EXPECT_EQ(item.GetTitle(), "noext");
}

TEST_F(Mp3TagTest, GenreFallsBackToTheOldGenreByteAndKeepsIt) {
    item.LoadFromText("filename=/m/a.mp3\r\n");
    EXPECT_EQ(item.GetGenre(), "Blues");
    EXPECT_EQ(item.GetValue("TCON"), "Blues");
    EXPECT_FALSE(item.IsModified());
    item.LoadFromText("genre=\x11\r\n");
    EXPECT_EQ(item.GetGenre(), "Rock");
}

TEST_F(Mp3TagTest, NumbersReadAsZeroWhenMissingOrMalformed) {
    item.LoadFromText("TC_BR=128\r\nTC_SIZE=4000000\r\nfrequency=44.1\r\ndate_modified=-1\r\n");
    EXPECT_EQ(item.GetDuration(), 250);
    EXPECT_EQ(item.GetFrequency(), 0);
    EXPECT_EQ(item.GetDateModified(), -1);
    item.LoadFromText("TC_SIZE=4000000\r\n");
    EXPECT_EQ(item.GetDuration(), 0);
    item.LoadFromText("TC_BR=320\r\nTC_SIZE=2147483647\r\n");
    EXPECT_EQ(item.GetDuration(), 53687);
    item.LoadFromText("TC_BR=128\r\nTC_SIZE=2147483648\r\n");
    EXPECT_EQ(item.GetFileSize(), 0);
    EXPECT_EQ(item.GetDuration(), 0);
}

TEST_F(Mp3TagTest, LyricsStoredWithBackslashCommaComeBackAsLines) {
    item.LoadFromText("USLT=a\\,b\r\nuslt2=a\\,b\r\n");
    EXPECT_EQ(item.GetValue("USLT"), "a\r\nb");
    EXPECT_EQ(item.GetLyrics(), "a\r\nb");
    EXPECT_EQ(item.GetValue("uslt"), "a\\,b"); // the rule is for the exact key
    item.LoadFromText("USLT=\\,\\,a\\,\\,b\\,\r\n");
    EXPECT_EQ(item.GetLyrics(), "a\r\n\r\nb");
    item.LoadFromText("USLT=a\\nb\r\n");
    EXPECT_EQ(item.GetLyrics(), "a\\nb");
}

TEST_F(Mp3TagTest, PictureFileNameNeedsAPictureCount) {
    item.LoadFromText("APIC.num=0\r\nAPIC.0.filename=picture/x.0.jpg\r\n");
    EXPECT_EQ(item.GetPictureFileName(), "");
    item.LoadFromText("APIC.num=2\r\nAPIC.0.filename=picture/x.0.jpg\r\n");
    EXPECT_EQ(item.GetPictureFileName(), "/data/picture/x.0.jpg");
}

TEST_F(Mp3TagTest, PictureListHasOneFullPathPerCountedPicture) {
    item.LoadFromText("APIC.num=3\r\nAPIC.0.filename=picture/a.0.jpg\r\nAPIC.2.filename=picture/a.2.png\r\n");
    EXPECT_EQ(item.PictureList(),
              (std::vector<std::string>{"/data/picture/a.0.jpg", "/data/", "/data/picture/a.2.png"}));
    // A count past the number of values is cut there.
    for (const auto& [count, entries] : {std::pair{"", 0u}, {"0", 0u}, {"-2", 0u}, {"x", 0u}, {"2000000000", 2u}}) {
        item.LoadFromText(std::string("APIC.num=") + count + "\r\nAPIC.0.filename=picture/a.0.jpg\r\n");
        EXPECT_EQ(item.PictureList().size(), entries) << count;
    }
}

TEST_F(Mp3TagTest, FrameListAndKinds) {
    item.LoadFromText("TIT2=whatever\r\n");
    std::vector<std::string> frames = {"old"};
    EXPECT_EQ(item.FillFrameList(&frames), 83);
    ASSERT_EQ(frames.size(), 83u);
    EXPECT_EQ(frames[0], "TALB=Album/Movie/Show title");
    EXPECT_EQ(item.FillFrameList(nullptr), -1);
    EXPECT_EQ(item.GetFrameKind("TOFN"), "FILE");
    EXPECT_EQ(item.GetFrameKind("WPUB"), "URL");
    EXPECT_EQ(item.GetFrameKind("USLT"), "TEXT");
    EXPECT_EQ(item.GetFrameKind("WCOM"), "STRING");
    EXPECT_EQ(item.GetFrameKind("TAG"), "STRING");
    EXPECT_EQ(item.GetFrameKind("WOAF.extra"), "URL");
    EXPECT_EQ(item.GetFrameKind("tofn"), "STRING");
}

TEST_F(Mp3TagTest, TextRoundTripsAndEmptyTextIsInvalid) {
    const std::string text = "filename=/m/a.mp3\r\nTIT2=歌\r\nmodified=true\r\n";
    item.LoadFromText(text);
    EXPECT_EQ(item.GetText(), text);
    EXPECT_TRUE(item.IsValid());
    item.LoadFromText("");
    EXPECT_FALSE(item.IsValid());
    EXPECT_EQ(item.ShowPicture(nullptr), 0);
}
