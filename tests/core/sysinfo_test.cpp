#include "core/sysinfo.h"

#include <gtest/gtest.h>

#include "core/fileio.h"
#include "core/paths.h"

#include <unistd.h>
#include "mp3builder.h"
#include "tempdir.h"

namespace {

std::string FileText(const std::string& path) {
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

} // namespace

TEST(SysInfo, MissingFileGivesDefaultsAndDestructionWritesCrLfLines) {
    TempDir dir;
    {
        TSysInfo settings(dir.Path());
        EXPECT_EQ(settings.ReadString("skin"), "");
        EXPECT_EQ(settings.ReadInteger("frame.x", 40), 40);
        EXPECT_TRUE(settings.ReadBool("statusbar", true));
        settings.WriteInteger("frame.x", -12);
        settings.WriteBool("statusbar", false);
        settings.WriteString("lyrics.font", "宋体");
    }
    EXPECT_EQ(FileText(dir / "box.ini"), "frame.x=-12\r\nstatusbar=false\r\nlyrics.font=宋体\r\n");
}

TEST(SysInfo, WritingEmptyTextRemovesTheLineFromTheFile) {
    TempDir dir;
    mp3::WriteFile(dir / "box.ini", "lyrics.font=SimSun\r\nskin=Skins/MacX/skin.ini\r\n");
    {
        TSysInfo settings(dir.Path());
        settings.WriteString("lyrics.font", "");
    }
    EXPECT_EQ(FileText(dir / "box.ini"), "skin=Skins/MacX/skin.ini\r\n");
}

TEST(SysInfo, NamesIgnoreCaseAndAWriteReplacesTheLineInPlace) {
    TempDir dir;
    mp3::WriteFile(dir / "box.ini", "FRAME.X=100\nframe.y=7\nframe.x=999\n");
    {
        TSysInfo settings(dir.Path());
        EXPECT_EQ(settings.ReadInteger("frame.x", 0), 100);
        settings.WriteInteger("frame.x", 5);
    }
    EXPECT_EQ(FileText(dir / "box.ini"), "frame.x=5\r\nframe.y=7\r\nframe.x=999\r\n");
}

TEST(SysInfo, OnlyLowerCaseBooleansAndWholeNumbersAreRecognised) {
    TempDir dir;
    mp3::WriteFile(dir / "box.ini",
                   "statusbar=True\r\napplication.tray=false\r\nframe.width=wide\r\nframe.height=12px\r\n"
                   "frame.y= 3\r\nlyrics.color=16711680\r\nframe.x=99999999999\r\n");
    TSysInfo settings(dir.Path());
    EXPECT_TRUE(settings.ReadBool("statusbar", true));
    EXPECT_FALSE(settings.ReadBool("statusbar", false));
    EXPECT_FALSE(settings.ReadBool("application.tray", true));
    EXPECT_EQ(settings.ReadInteger("frame.width", 800), 800);
    EXPECT_EQ(settings.ReadInteger("frame.height", 600), 600);
    EXPECT_EQ(settings.ReadInteger("frame.y", 1), 1);
    EXPECT_EQ(settings.ReadInteger("lyrics.color", 0), 0xFF0000);
    EXPECT_EQ(settings.ReadInteger("frame.x", 7), 7);
}

TEST(SysInfo, KeyTableGivesDefaultsForMissingAndUnreadableValues) {
    TempDir dir;
    mp3::WriteFile(dir / "box.ini", "skin=\r\ncolumn_Comment=yes\r\nlyrics.color=blue\r\ntags.codepage=BIG5\r\n");
    TSysInfo settings(dir.Path());
    EXPECT_EQ(settings.ReadSetting("skin"), "Skins/Clouds/skin.ini");
    EXPECT_EQ(settings.ReadSetting("column_Comment"), "false");
    EXPECT_EQ(settings.ReadSetting("column_Artist"), "true");
    EXPECT_EQ(settings.ReadSetting("lyrics.color"), "16711680");
    EXPECT_EQ(settings.ReadSetting("tags.codepage"), "BIG5");
    TSysInfo fresh(dir / "sub/");
    EXPECT_EQ(fresh.ReadSetting("tags.codepage"), "GB18030");
}

TEST(SysInfo, AnExplicitSaveIsNotRepeatedAtDestructionAndAFailedSaveIsReported) {
    TempDir dir;
    {
        TSysInfo settings(dir.Path());
        settings.WriteString("a", "1");
        ASSERT_TRUE(settings.Save());
        mp3::WriteFile(dir / "box.ini", "edited elsewhere\r\n");
    }
    EXPECT_EQ(FileText(dir / "box.ini"), "edited elsewhere\r\n");

    TSysInfo nowhere(dir / "missing-folder/");
    nowhere.WriteString("a", "1");
    EXPECT_FALSE(nowhere.Save());
    EXPECT_NE(nowhere.SaveError().find("No such file"), std::string::npos) << nowhere.SaveError();
    nowhere.SaveTo(dir / "");
    EXPECT_TRUE(nowhere.Save());
    EXPECT_EQ(nowhere.SaveError(), "");
    EXPECT_EQ(FileText(dir / "box.ini"), "a=1\r\n");
}

TEST(SysInfo, SettingsReadFromAnotherFolderAreWrittenToTheirOwn) {
    TempDir former, data;
    mp3::WriteFile(former / "box.ini", "skin=Skins/MacX/skin.ini\r\n");
    {
        TSysInfo settings(data.Path(), former.Path());
        EXPECT_EQ(settings.ReadString("skin"), "Skins/MacX/skin.ini");
        settings.WriteString("a", "1");
    }
    EXPECT_EQ(FileText(former / "box.ini"), "skin=Skins/MacX/skin.ini\r\n");
    EXPECT_EQ(FileText(data / "box.ini"), "skin=Skins/MacX/skin.ini\r\na=1\r\n");
}

TEST(Paths, ProgramFilesLiveBesideTheExecutableWhenItsFolderIsWritable) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(access((folder + "core_tests").c_str(), X_OK), 0);
    EXPECT_EQ(DataFolder(), folder);
    EXPECT_EQ(FileNamePart("/a.b/c"), "c");
    EXPECT_EQ(FileExtension("/a.b/c"), "");
    EXPECT_EQ(FileExtension("/a/c.tar.MP3"), ".MP3");
}
