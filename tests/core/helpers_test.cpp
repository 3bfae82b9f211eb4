#include "core/helpers.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/plugins.h"
#include "media/mediaenv.h"
#include "mp3builder.h"
#include "tempdir.h"

TEST(Helpers, SizeText) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "0 B"},           {1023, "1023 B"},       {-5, "-5 B"},
        {1024, "1.00 KB"},    {1536, "1.50 KB"},      {1048575, "1024.00 KB"},
        {1048576, "1.00 MB"}, {3407872, "3.25 MB"},   {1073741824, "1.00 GB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeText(bytes), text) << bytes;
}

TEST(Helpers, DurationFrequencyAndBitrateTexts) {
    EXPECT_EQ(DurationText(0), "00:00");
    EXPECT_EQ(DurationText(59), "00:59");
    EXPECT_EQ(DurationText(65), "01:05");
    EXPECT_EQ(DurationText(600), "10:00");
    EXPECT_EQ(DurationText(6000), "100:00");
    EXPECT_EQ(FrequencyText(44100), "44.100 kHz");
    EXPECT_EQ(FrequencyText(22050), "22.050 kHz");
    EXPECT_EQ(FrequencyText(8000), "8.000 kHz");
    EXPECT_EQ(FrequencyText(0), "");
    EXPECT_EQ(FrequencyText(-1), "");
    EXPECT_EQ(BitrateText(128), "128 kbps");
    EXPECT_EQ(BitrateText(0), "");
}

TEST(Helpers, UrlEncodeEscapesTheUnsafeBytesOnly) {
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode("http://x/a b#c"), "http://x/a%20b%23c");
    EXPECT_EQ(UrlEncode("*%<>"), "%2A%25%3C%3E");
    EXPECT_EQ(UrlEncode("歌"), "%E6%AD%8C");
    EXPECT_EQ(UrlEncode("a-z_0.9~&=?"), "a-z_0.9~&=?");
}

class ScanFolderTest : public ::testing::Test {
protected:
    void File(const std::string& relative) {
        std::filesystem::create_directories(std::filesystem::path(dir / relative).parent_path());
        mp3::WriteFile(dir / relative, mp3::Frames(1));
    }
    std::vector<std::string> Scan(const std::string& folder) {
        std::vector<std::string> list;
        const int count = ScanFolder(list, folder, registry);
        EXPECT_EQ(count, static_cast<int>(list.size()));
        return list;
    }

    TempDir dir;
    TMediaEnvironment env{dir.Path(), "GB18030"};
    TPlugIns registry{env};
};

TEST_F(ScanFolderTest, EachFolderListsItsMp3ThenItsMp2FilesThenItsSubfolders) {
    File("b.mp2");
    File("Song.MP3");
    File("a.mp3");
    File(".hidden.mp3");
    File("notes.txt");
    File("voice.wma");
    File("A/z.mp3");
    File("b/y.Mp2");
    File("album.mp3/inside.mp3");
    File(".cache/skipped.mp3");
    const std::string root = dir.Path();
    const std::vector<std::string> expected = {
        root + ".hidden.mp3",  root + "a.mp3",    root + "Song.MP3",
        root + "b.mp2",        root + "A/z.mp3",  root + "album.mp3/inside.mp3",
        root + "b/y.Mp2",
    };
    EXPECT_EQ(Scan(root), expected);
}

TEST_F(ScanFolderTest, KeepsWhatTheListHeldAndCountsIt) {
    File("x.mp3");
    std::vector<std::string> list = {"earlier"};
    EXPECT_EQ(ScanFolder(list, dir.Path(), registry), 2);
    EXPECT_EQ(list.front(), "earlier");
}

TEST_F(ScanFolderTest, LinksToFilesCountButLinksToFoldersAreNotEntered) {
    File("music/real.mp3");
    ASSERT_EQ(symlink((dir / "music").c_str(), (dir / "music/loop").c_str()), 0);
    ASSERT_EQ(symlink((dir / "music/real.mp3").c_str(), (dir / "music/link.mp3").c_str()), 0);
    ASSERT_EQ(symlink((dir / "gone.mp3").c_str(), (dir / "music/dangling.mp3").c_str()), 0);
    const std::vector<std::string> expected = {dir / "music/link.mp3", dir / "music/real.mp3"};
    EXPECT_EQ(Scan(dir / "music/"), expected);
}

TEST_F(ScanFolderTest, ReadOnlyFoldersAreScannedAndMissingOnesGiveNothing) {
    File("locked/a.mp3");
    chmod((dir / "locked").c_str(), 0555);
    EXPECT_EQ(Scan(dir.Path()).size(), 1u);
    chmod((dir / "locked").c_str(), 0755);
    EXPECT_TRUE(Scan(dir / "absent/").empty());
}
