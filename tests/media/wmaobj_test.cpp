#include "media/wmaobj.h"

#include <gtest/gtest.h>

TEST(WMAObj, KnowsItsFileByNameOnly) {
    const TMediaEnvironment env("/data/", "GB18030");
    TWMAObj item(env);
    EXPECT_FALSE(item.IsValid());
    EXPECT_EQ(item.LoadFromFile("/music/no such folder/Song.WMA"), 0);
    EXPECT_TRUE(item.IsValid());
    EXPECT_EQ(item.GetText(), "filename=/music/no such folder/Song.WMA\r\n");
    EXPECT_EQ(item.GetTitle(), "Song.WMA");
    EXPECT_EQ(item.GetFileType(), ".WMA");
    EXPECT_EQ(item.GetArtist(), "WMA");
    EXPECT_EQ(item.GetAlbum(), "WMA");
    EXPECT_EQ(item.GetYear(), "WMA");
    EXPECT_EQ(item.GetGenre(), "WMA");
    EXPECT_EQ(item.GetBitrate(), 0);
    EXPECT_EQ(item.GetDuration(), 0);
    EXPECT_EQ(item.GetDateModified(), 0);
    EXPECT_EQ(item.GetPictureFileName(), "");
    EXPECT_EQ(item.GetFrameKind("TOFN"), "");
    std::vector<std::string> frames = {"kept"};
    EXPECT_EQ(item.FillFrameList(&frames), 0);
    EXPECT_EQ(frames.size(), 1u);
}

TEST(WMAObj, SettersChangeNothingButValuesAndTextDo) {
    const TMediaEnvironment env("/data/", "GB18030");
    TWMAObj item(env);
    item.LoadFromText("filename=/m/a.wma\r\nTPE1=Someone\r\n");
    item.SetTitle("Other");
    item.SetArtist("Other");
    EXPECT_EQ(item.GetTitle(), "a.wma");
    EXPECT_EQ(item.GetArtist(), "WMA");
    EXPECT_EQ(item.GetValue("tpe1"), "Someone");
    item.SetValue("TPE1", "");
    EXPECT_EQ(item.GetText(), "filename=/m/a.wma\r\n");
    EXPECT_EQ(item.SaveIfModified(), 0);
    EXPECT_EQ(item.ShowProperties("MAIN", nullptr), 0);
}
