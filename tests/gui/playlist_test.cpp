#include <QAction>
#include <QDir>
#include <filesystem>
#include <sys/stat.h>

#include "browser/editcommands.h"
#include "core/fileio.h"
#include "core/library.h"
#include "playfixture.h"

namespace {

class PlaylistTest : public PlayTest {
protected:
    // Four songs in the library, of two years and of none.
    void SetUp() override {
        a = SongOf("a.mp3", "A", "2001");
        b = SongOf("b.mp3", "B", "2001");
        c = SongOf("c.mp3", "C", "1999");
        d = SongOf("d.mp3", "D", "");
        window = OpenWith({a, b, c, d});
    }
    std::string SongOf(const std::string& name, const std::string& title, const std::string& year) {
        mp3::Tag tag;
        tag.Text("TIT2", title).Text("TPE1", "Ann");
        if (!year.empty()) tag.Text("TYER", year);
        const std::string path = data / name;
        mp3::WriteFile(path, tag.Build() + mp3::Frames(4));
        return path;
    }
    std::string Read(const std::string& path) {
        std::string text;
        ReadWholeFile(path, text);
        return text;
    }
    void Trigger(QTreeWidgetItem* node, const char* command) {
        Select(*window, node);
        window->Action(command)->trigger();
    }
    QStringList Errors() const { return dialogs.Texts(TScriptedDialogs::Kind::Error); }

    std::string a, b, c, d;
    std::unique_ptr<TtcrateFormMain> window;
};

} // namespace

TEST_F(PlaylistTest, LoadingPutsTheNamedLibraryItemsIntoTheSortedPlaylistBox) {
    TTUNECRATE& library = *window->Library();
    // The playlist box is sorted by year and already holds C.
    library.PlaylistBox.SetSortKey("year");
    library.PlaylistBox.AddItem(library.FindByFileName(c));
    const std::string list = data / "list.m3u";
    mp3::WriteFile(list, a + "\r\n/elsewhere/x.mp3\r\n#EXTM3U\r\nc.mp3\n");
    dialogs.openFilesAnswers << QStringList{QString::fromStdString(list)};
    Trigger(Root(*window, 2), "Open1");
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::OpenFiles), QStringList{"Load Playlist"});
    EXPECT_TRUE(dialogs.filters.first().startsWith("M3U Playlist(*.m3u)|*.m3u|"));
    EXPECT_TRUE(Errors().isEmpty());
    // The child boxes keep what they had; A is filed under its year, C (named
    // relative to the playlist) a second time.
    std::vector<TMObj*> items;
    library.PlaylistBox.CollectItems(items);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(Captions(Root(*window, 2)), (QStringList{"1999", "2001"}));
    EXPECT_EQ(library.PlaylistBox.FindChild("1999")->ItemCount(), 2);

    // Endings in capitals and files that cannot be read are failures, and
    // the box stays as it was.
    for (const std::string& name : {data / "LIST.M3U", data / "missing.m3u"}) {
        mp3::WriteFile(data / "LIST.M3U", a + "\r\n");
        dialogs.openFilesAnswers << QStringList{QString::fromStdString(name)};
        Trigger(Root(*window, 2), "Open1");
    }
    EXPECT_EQ(Errors(), (QStringList{"装载播放列表失败 !", "装载播放列表失败 !"}));
    items.clear();
    EXPECT_EQ(library.PlaylistBox.CollectItems(items), 3);
}

TEST_F(PlaylistTest, SavingWritesChildBoxesFirstAndTellsWhatItCouldNotWrite) {
    TTUNECRATE& library = *window->Library();
    // D, without a year, stays the box's own item; B goes to its year's box.
    library.FavouritesBox.SetSortKey("year");
    library.FavouritesBox.AddItem(library.FindByFileName(d));
    library.FavouritesBox.AddItem(library.FindByFileName(b));
    const std::string m3u = data / "fav.m3u", wpl = data / "all.wpl";
    dialogs.saveFileAnswers << QString::fromStdString(m3u) << QString::fromStdString(wpl);
    Trigger(Root(*window, 1), "Saveas1");
    EXPECT_EQ(Read(m3u), b + "\r\n" + d + "\r\n");
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::SaveFile), QStringList{"Save Playlist"});
    // Under the all-items box every item is in an artist's box.
    Trigger(Root(*window, 0), "Saveas1");
    EXPECT_NE(Read(wpl).find("<seq>\r\n<media src=\"" + a + "\"/>\r\n"), std::string::npos);
    EXPECT_TRUE(Errors().isEmpty());

    dialogs.saveFileAnswers << QString::fromStdString(data / "list.M3U")
                            << QString::fromStdString(data / "no/such/folder/x.m3u");
    Trigger(Root(*window, 0), "Saveas1");
    Trigger(Root(*window, 0), "Saveas1");
    EXPECT_EQ(Errors(), (QStringList{"Save playlist failure !", "Save playlist failure !"}));
    EXPECT_FALSE(std::filesystem::exists(data / "list.M3U"));
}

TEST_F(PlaylistTest, CopyingKeepsEveryFileAndNamesThoseItCouldNotCopy) {
    const std::string target = data / "copy";
    std::filesystem::create_directory(target);
    mp3::WriteFile(target + "/a.mp3", "old");
    std::filesystem::remove(c);
    dialogs.folderAnswers << QString::fromStdString(target);
    Trigger(Root(*window, 0), "Copyfiles1");
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Folder), QStringList{"Select folder"});
    EXPECT_EQ(Read(target + "/a.mp3"), Read(a));
    EXPECT_EQ(Read(target + "/b.mp3"), Read(b));
    EXPECT_FALSE(std::filesystem::exists(target + "/c.mp3"));
    ASSERT_EQ(Errors().size(), 1);
    EXPECT_TRUE(Errors().first().startsWith("1 个文件无法复制到 " + QString::fromStdString(target) + "/:"));
    EXPECT_TRUE(Errors().first().contains(QString::fromStdString(c)));
    EXPECT_FALSE(window->Edit().Busy());
}
