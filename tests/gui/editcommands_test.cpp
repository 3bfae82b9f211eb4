#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QMimeData>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>

#include "browser/editcommands.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/fileio.h"
#include "media/mp3tag.h"
#include "media/properties.h"
#include "playfixture.h"

namespace {

class EditTest : public PlayTest {
protected:
    std::string Track(const std::string& name, const std::string& artist, const std::string& album,
                      const std::string& title) {
        mp3::Tag tag;
        tag.Text("TIT2", title).Text("TPE1", artist).Text("TALB", album).Text("TYER", "2001");
        const std::string path = data / name;
        mp3::WriteFile(path, tag.Build() + mp3::Frames(4));
        return path;
    }
    // Three tracks by two artists, the window shown and active.
    std::unique_ptr<TtcrateFormMain> Open3() {
        auto window = OpenWith({Track("a.mp3", "Ann", "One", "A"), Track("b.mp3", "Ann", "Two", "B"),
                                Track("c.mp3", "Bo", "Three", "C")});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    static QTreeWidgetItem* Node(QTreeWidgetItem* parent, const QString& caption) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == caption) return parent->child(i);
        return nullptr;
    }
    // Opens a node, waits for its rows and selects the rows of these captions (all when none).
    static void OpenAndSelect(TtcrateFormMain& window, QTreeWidgetItem* node, const QStringList& captions = {}) {
        Select(window, node);
        const TBOX* box = TBoxTreeController::BoxOf(node);
        TTrackListModel& model = window.TrackList().Model();
        ASSERT_TRUE(WaitUntil([&] {
            if (window.TrackList().Building() || model.rowCount() != box->ChildCount() + box->ItemCount()) return false;
            // The rows are the box's own: its children, then its items.
            for (int i = 0; i < model.rowCount(); ++i) {
                const TTrackRow& row = model.Row(i);
                if (row.box != nullptr ? row.box->Parent() != box : !OwnItem(*box, row.item)) return false;
            }
            return true;
        }));
        QTreeView* list = window.ListView();
        list->setFocus();
        list->clearSelection();
        for (int i = 0; i < model.rowCount(); ++i)
            if (captions.isEmpty() || captions.contains(model.data(model.index(i, 0), Qt::DisplayRole).toString()))
                list->selectionModel()->select(model.index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static bool OwnItem(const TBOX& box, const TMObj* item) {
        for (int i = 0; i < box.ItemCount(); ++i)
            if (box.GetItem(i) == item) return true;
        return false;
    }
    static TMObj* ItemTitled(TtcrateFormMain& window, const std::string& title) {
        for (int i = 0; i < window.Library()->Count(); ++i)
            if (window.Library()->GetItem(i)->GetTitle() == title) return window.Library()->GetItem(i);
        return nullptr;
    }
    static QStringList Captions(QTreeWidgetItem* node) { return ::Captions(node); }
    // What a drag of the list's selection, let go at a point, sends.
    static void Drop(QWidget* viewport, QPoint at) {
        QMimeData mime;
        mime.setData(kRowsMimeType, {});
        QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &drop);
    }
};

} // namespace

TEST_F(EditTest, FilesAndFoldersAreAddedOnceWithOrWithoutTheSeparator) {
    auto window = OpenWith({});
    const std::string folder = data / "music";
    std::filesystem::create_directories(folder + "/inner");
    mp3::WriteFile(folder + "/x.mp3", mp3::Tag().Text("TPE1", "Xa").Build() + mp3::Frames(4));
    mp3::WriteFile(folder + "/inner/y.mp2", mp3::Frames(4));
    mp3::WriteFile(folder + "/notes.txt", "not audio");

    dialogs.openFilesAnswers << QStringList{QString::fromStdString(folder + "/x.mp3")}
                             << QStringList{QString::fromStdString(folder + "/x.mp3")};
    window->Action("AddFiles2")->trigger();
    window->Action("AddFiles2")->trigger();
    EXPECT_EQ(window->Library()->Count(), 1);
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::OpenFiles).first(), "Tunecrate, Add mp3 files");
    EXPECT_NE(Node(Root(*window, 0), "Xa"), nullptr);

    dialogs.folderAnswers << QString::fromStdString(folder) << QString::fromStdString(folder + "/");
    window->Action("AddFolder2")->trigger();
    EXPECT_EQ(window->Library()->Count(), 2);
    EXPECT_NE(window->Library()->FindByFileName(folder + "/inner/y.mp2"), nullptr);
    window->Action("AddFolder2")->trigger();
    EXPECT_EQ(window->Library()->Count(), 2);
    EXPECT_FALSE(window->Edit().Busy());
}

TEST_F(EditTest, WhileFilesAreAddedClosingAndChangesWaitForTheEnd) {
    auto window = Open3();
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i) files.push_back(Track("n" + std::to_string(i) + ".mp3", "New", "N", "t"));
    bool closeWaited = false, deleteHeld = false;
    QTimer::singleShot(0, window.get(), [&] {
        deleteHeld = !window->Action("Deletemp3file1")->isEnabled() && window->Edit().Busy();
        window->close();
        closeWaited = window->isVisible();
    });
    window->Edit().AddFiles(files);
    EXPECT_TRUE(deleteHeld);
    EXPECT_TRUE(closeWaited);
    EXPECT_EQ(window->Library()->Count(), 43);
    // The close asked for meanwhile comes now.
    EXPECT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
}

TEST_F(EditTest, DeletingFollowsTheFocusAndTheAllItemsRule) {
    auto window = Open3();
    TTUNECRATE& library = *window->Library();
    TMObj* a = ItemTitled(*window, "A");
    library.FavouritesBox.AddItem(a);
    library.NowPlayingBox.AddItem(a);

    // A root is not deleted from the tree: nothing is asked.
    window->Tree()->setFocus();
    Select(*window, Root(*window, 0));
    window->Action("Deletemp3file1")->trigger();
    EXPECT_TRUE(dialogs.Texts(TScriptedDialogs::Kind::Confirm).isEmpty());

    // A child box from the tree, after a No and a Yes.
    QTreeWidgetItem* ann = Node(Root(*window, 0), "Ann");
    Select(*window, ann);
    window->Tree()->setFocus();
    dialogs.confirmAnswers << false << true;
    window->Action("Deletemp3file1")->trigger();
    EXPECT_EQ(library.Count(), 3);
    window->Action("Deletemp3file1")->trigger();
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Confirm), (QStringList{"是否确定删除 ?", "是否确定删除 ?"}));
    EXPECT_EQ(library.Count(), 1);
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList{"Bo"});
    // Gone from the item list, still a favourite and queued.
    EXPECT_TRUE(library.FavouritesBox.Contains(a));
    EXPECT_TRUE(library.NowPlayingBox.Contains(a));

    // From the list: the root's own rows go.
    OpenAndSelect(*window, Root(*window, 0));
    dialogs.confirmAnswers << true;
    window->Action("Deletemp3file1")->trigger();
    EXPECT_EQ(library.Count(), 0);
    EXPECT_EQ(Root(*window, 0)->childCount(), 0);
    EXPECT_TRUE(WaitUntil([&] { return window->TrackList().Model().rowCount() == 0; }));
}

TEST_F(EditTest, FullDeleteRemovesFilesAndTellsWhatItCouldNot) {
    auto window = Open3();
    TTUNECRATE& library = *window->Library();
    for (const char* title : {"A", "B", "C"}) library.FavouritesBox.AddItem(ItemTitled(*window, title));
    window->BoxTree().RefreshFavouritesBranch();
    // "b.mp3" cannot be deleted: a folder full of things stands in its place.
    std::filesystem::remove(data / "b.mp3");
    std::filesystem::create_directories(data / "b.mp3/inside");

    OpenAndSelect(*window, Node(Root(*window, 1), "Ann"));
    window->Action("Fulldelete1")->trigger();
    EXPECT_EQ(library.Count(), 3); // not asked: No
    dialogs.confirmAnswers << true;
    OpenAndSelect(*window, Root(*window, 1), {"Ann"});
    window->Action("Fulldelete1")->trigger();
    EXPECT_FALSE(std::filesystem::exists(data / "a.mp3"));
    EXPECT_TRUE(std::filesystem::exists(data / "c.mp3"));
    EXPECT_EQ(library.Count(), 2);
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error),
              QStringList{"1 个文件无法删除:\r" + QString::fromStdString(data / "b.mp3")});
    // The item that stays keeps its box; all-items still shows the deleted one.
    EXPECT_EQ(Captions(Root(*window, 1)), QStringList({"Ann", "Bo"}));
    EXPECT_TRUE(library.AllItemsBox.Contains(ItemTitled(*window, "B")));
}

TEST_F(EditTest, CutAndPasteRetagsAndMovesTheItems) {
    auto window = Open3();
    QTreeWidgetItem* all = Root(*window, 0);
    OpenAndSelect(*window, Node(all, "Ann"), {"A"});
    EXPECT_FALSE(window->Action("Paste1")->isEnabled());
    window->Action("Cut1")->trigger();
    EXPECT_TRUE(window->Action("Paste1")->isEnabled());
    Select(*window, Node(all, "Bo"));
    window->Action("Paste1")->trigger();
    TMObj* a = ItemTitled(*window, "A");
    EXPECT_EQ(a->GetArtist(), "Bo");
    EXPECT_TRUE(TBoxTreeController::BoxOf(Node(all, "Bo"))->Contains(a));
    EXPECT_FALSE(TBoxTreeController::BoxOf(Node(all, "Ann"))->Contains(a));
    EXPECT_FALSE(window->Action("Paste1")->isEnabled());

    // Onto the favourites root: out of the artist box, tags kept.
    OpenAndSelect(*window, Node(all, "Bo"), {"C"});
    window->Action("Cut1")->trigger();
    Select(*window, Root(*window, 1));
    window->Action("Paste1")->trigger();
    TMObj* c = ItemTitled(*window, "C");
    EXPECT_EQ(c->GetArtist(), "Bo");
    EXPECT_TRUE(window->Library()->FavouritesBox.Contains(c));
    EXPECT_FALSE(window->Library()->AllItemsBox.Contains(c));
    EXPECT_EQ(Captions(Root(*window, 1)), QStringList{"Bo"});
}

TEST_F(EditTest, DropsRetagUnderAllItemsAndAddElsewhere) {
    auto window = Open3();
    QTreeWidgetItem* all = Root(*window, 0);
    TBoxTreeController::BoxOf(Node(all, "Ann"))->SetSortKey("album");
    window->BoxTree().RebuildNode(all);
    QTreeWidgetItem* two = Node(Node(all, "Ann"), "Two");
    ASSERT_NE(two, nullptr);

    // C dropped on the album "Two" below the artist "Ann".
    OpenAndSelect(*window, Node(all, "Bo"), {"C"});
    QTreeWidget* tree = window->Tree();
    tree->expandAll();
    Drop(tree->viewport(), tree->visualItemRect(two).center());
    TMObj* c = ItemTitled(*window, "C");
    EXPECT_EQ(c->GetAlbum(), "Two");
    EXPECT_EQ(c->GetArtist(), "Ann");
    EXPECT_TRUE(TBoxTreeController::BoxOf(two)->Contains(c));

    // On the playlist root: added once, left where it was.
    OpenAndSelect(*window, two, {});
    for (int i = 0; i < 2; ++i) Drop(tree->viewport(), tree->visualItemRect(Root(*window, 2)).center());
    EXPECT_EQ(window->Library()->PlaylistBox.ItemCount(), 2);
    EXPECT_TRUE(window->Library()->AllItemsBox.Contains(c));
    // The all-items root takes no drop.
    EXPECT_FALSE(window->Edit().CanDropOnNode(all));
}

TEST_F(EditTest, RenamingRetagsBelowTaggedParentsOnly) {
    auto window = Open3();
    QTreeWidgetItem* all = Root(*window, 0);
    window->Edit().TreeView1Edited(TBoxTreeController::BoxOf(Node(all, "Bo")), "Cy");
    EXPECT_EQ(ItemTitled(*window, "C")->GetArtist(), "Cy");
    EXPECT_EQ(Captions(all), QStringList({"Ann", "Cy"}));
    // Onto a sibling's name: the items join it.
    window->Edit().TreeView1Edited(TBoxTreeController::BoxOf(Node(all, "Cy")), "Ann");
    EXPECT_EQ(Captions(all), QStringList{"Ann"});
    EXPECT_EQ(TBoxTreeController::BoxOf(Node(all, "Ann"))->ItemCount(), 3);

    // Below a bitrate parent the tree keeps the name; the list renames the box only.
    window->Library()->AllItemsBox.SetSortKey("bitrate");
    window->BoxTree().RebuildNode(all);
    QTreeWidgetItem* rate = all->child(0);
    const QString rateName = rate->text(0);
    window->Edit().TreeView1Edited(TBoxTreeController::BoxOf(rate), "fast");
    EXPECT_EQ(all->child(0)->text(0), rateName);
    OpenAndSelect(*window, all);
    window->Edit().ListView1Edited(window->TrackList().Model().Row(0), "fast");
    EXPECT_EQ(all->child(0)->text(0), "fast");
    EXPECT_EQ(ItemTitled(*window, "A")->GetArtist(), "Ann");
    // An item row takes the title.
    OpenAndSelect(*window, all->child(0));
    window->Edit().ListView1Edited(window->TrackList().Model().Row(0), "Renamed");
    EXPECT_NE(ItemTitled(*window, "Renamed"), nullptr);
}

TEST_F(EditTest, TagsReloadAndSaveWithTheirFailuresTold) {
    auto window = Open3();
    QTreeWidgetItem* all = Root(*window, 0);
    TMObj* a = ItemTitled(*window, "A");
    TMObj* c = ItemTitled(*window, "C");
    a->SetComment("changed");
    c->SetComment("changed too");
    // "c.mp3" cannot be written.
    std::filesystem::permissions(data / "c.mp3", std::filesystem::perms::owner_read);
    std::filesystem::permissions(data.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Select(*window, all);
    window->Action("Saveinfotofile1")->trigger();
    std::filesystem::permissions(data.Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error),
              QStringList{"1 个文件的标签无法写入:\r" + QString::fromStdString(data / "c.mp3")});

    // The box's rows, boxes and all, read their files again.
    a->SetTitle("Not on disk");
    OpenAndSelect(*window, all);
    window->Action("Refreshfileinfo1")->trigger();
    EXPECT_EQ(a->GetTitle(), "A");
    EXPECT_EQ(a->GetComment(), "changed");
}

TEST_F(EditTest, TheTagEditorOpensOnThePageEachCommandAsksFor) {
    auto window = Open3();
    OpenAndSelect(*window, Node(Root(*window, 0), "Bo"), {"C"});
    window->ListView()->setCurrentIndex(window->TrackList().Model().index(0, 0));
    ASSERT_NE(window->TrackList().CurrentItem(), nullptr);
    // Each command's editor: its page, then OK or Cancel.
    QString page;
    const auto answer = [&](bool ok) {
        QTimer::singleShot(0, window.get(), [&page, ok] {
            auto* editor = qobject_cast<TFormProperties*>(QApplication::activeModalWidget());
            ASSERT_NE(editor, nullptr);
            page = editor->Pages()->tabText(editor->Pages()->currentIndex());
            if (ok) {
                editor->Field("Title")->setText("Edited");
                editor->OkClick();
            } else {
                editor->CancelClick();
            }
        });
    };
    answer(false);
    window->Action("Properties1")->trigger();
    EXPECT_EQ(page, "Main");
    // Without lyrics or a picture, their viewers open the editor there.
    answer(false);
    window->Viewlyrics1Click();
    EXPECT_EQ(page, "Lyrics");
    answer(true);
    window->Viewpicture1Click();
    EXPECT_EQ(page, "Pictures");
    TMObj* c = ItemTitled(*window, "Edited");
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(static_cast<TMP3Tag*>(c)->IsModified());
}

TEST_F(EditTest, BoxRowsTakePastedAndDroppedItemsTaggedForThem) {
    auto window = OpenWith({Track("a.mp3", "Ann", "One", "A"), Track("c.mp3", "Bo", "Three", "C"),
                            Track("d.mp3", "", "", "D")});
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTreeWidgetItem* all = Root(*window, 0);
    OpenAndSelect(*window, Node(all, "Bo"), {"C"});
    window->Action("Cut1")->trigger();
    OpenAndSelect(*window, all, {"Ann"});
    window->Action("Paste4")->trigger();
    TMObj* c = ItemTitled(*window, "C");
    EXPECT_EQ(c->GetArtist(), "Ann");
    EXPECT_TRUE(TBoxTreeController::BoxOf(Node(all, "Ann"))->Contains(c));
    EXPECT_TRUE(window->Edit().CutItems().empty());

    // The untagged item of the root's own list dropped on the row of "Bo".
    OpenAndSelect(*window, all, {"D"});
    TTrackListModel& model = window->TrackList().Model();
    int bo = -1;
    for (int i = 0; i < model.rowCount(); ++i)
        if (model.data(model.index(i, 0), Qt::DisplayRole).toString() == "Bo") bo = i;
    ASSERT_GE(bo, 0);
    QTreeView* list = window->ListView();
    Drop(list->viewport(), list->visualRect(model.index(bo, 0)).center());
    TMObj* d = ItemTitled(*window, "D");
    EXPECT_EQ(d->GetArtist(), "Bo");
    EXPECT_TRUE(TBoxTreeController::BoxOf(Node(all, "Bo"))->Contains(d));
    EXPECT_EQ(window->Library()->AllItemsBox.ItemCount(), 0);
}
