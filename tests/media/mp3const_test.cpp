#include "media/mp3const.h"

#include <gtest/gtest.h>
#include <set>

TEST(Mp3Const, FrameTableHas83UniqueEntriesWithTheirKinds) {
    std::set<std::string_view> ids;
    for (const TFrameEntry& entry : kFrameTable) {
        ASSERT_EQ(entry.text[4], '=') << entry.text;
        ids.insert(entry.text.substr(0, 4));
    }
    EXPECT_EQ(ids.size(), 83u);
    EXPECT_EQ(kFrameTable.front().text, "TALB=Album/Movie/Show title");
    EXPECT_EQ(kFrameTable.back().text, "WXXX=User defined URL link frame");
    int text = 0, url = 0, file = 0;
    for (const TFrameEntry& entry : kFrameTable) {
        text += entry.kind == "TEXT";
        url += entry.kind == "URL";
        file += entry.kind == "FILE";
    }
    EXPECT_EQ(text, 4);
    EXPECT_EQ(url, 5);
    EXPECT_EQ(file, 1);
}

TEST(Mp3Const, GenreNamesByNumber) {
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(12), "Other");
    EXPECT_EQ(GenreName(17), "Rock");
    EXPECT_EQ(GenreName(117), "Poweer Ballad");
    EXPECT_EQ(GenreName(125), "Dance Hall");
    EXPECT_EQ(GenreName(126), "Other");
    EXPECT_EQ(GenreName(255), "Other");
    EXPECT_EQ(GenreName(-1), "Other");
}

TEST(Mp3Const, GenreIndexTrimsThenComparesExactly) {
    EXPECT_EQ(GenreIndex("Rock"), 17);
    EXPECT_EQ(GenreIndex("  Rock\t"), 17);
    EXPECT_EQ(GenreIndex("rock"), 12);
    EXPECT_EQ(GenreIndex("Blues"), 0);
    EXPECT_EQ(GenreIndex(""), 12);
    for (std::size_t i = 0; i < kGenreCount; ++i)
        if (kGenreTable[i] != "Other") {
            EXPECT_EQ(GenreIndex(kGenreTable[i]), i) << kGenreTable[i];
        }
}
