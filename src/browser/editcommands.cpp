#include "browser/editcommands.h"

#include <QAction>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <mutex>
#include <unordered_set>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "browser/wait.h"
#include "core/box.h"
#include "core/helpers.h"
#include "core/library.h"
#include "core/plugins.h"
#include "media/mobj.h"
#include "ui/dialogs.h"

namespace {

// The commands that change the library, held off while a long one runs.
constexpr const char* kChangingCommands[] = {
    "AddFiles2", "AddFolder2", "AddFiles1", "AddFolder1", "Deletemp3file1", "Fulldelete1", "Delete1", "Delete3",
    "Cut1", "Cut2", "Paste1", "Paste3", "Paste4", "AddtoMyFavour1", "AddtoMyfavour3", "AddtoPlaylist4",
    "AddtoPlaylist1", "Reloadtagfrommp3file1", "Refreshfileinfo1", "Savetagtomp3file1", "Saveinfotofile1",
    "Fileinfo1", "Properties1", "Rename2", "Rename3", "Sorter1", "Sorter3", "Tools1", "Open1", "Saveas1", "Copyfiles1",
};

constexpr int kReportedFiles = 10;

using TSetter = int (TMObj::*)(const std::string&);

// The tag a parent box's sort key files its children by. Titles only where
// an item is moved into a box of an unsorted parent.
TSetter SetterFor(const std::string& sortKey, bool titles) {
    if (sortKey == "artist") return &TMObj::SetArtist;
    if (sortKey == "album") return &TMObj::SetAlbum;
    if (sortKey == "year") return &TMObj::SetYear;
    if (sortKey == "genre") return &TMObj::SetGenre;
    if (sortKey == "not sort" && titles) return &TMObj::SetTitle;
    return nullptr;
}

void Apply(TSetter setter, TMObj* item, const std::string& value) {
    if (setter != nullptr) (item->*setter)(value);
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Deletes an audio file; true when it is gone (or was not there).
bool DeleteFile(const std::string& name) {
    std::error_code error;
    if (!std::filesystem::exists(name, error)) return true;
    return std::filesystem::remove(name, error);
}

void CollectBoxes(const TBOX& box, std::unordered_set<const TBOX*>& boxes) {
    boxes.insert(&box);
    for (int i = 0; i < box.ChildCount(); ++i) CollectBoxes(*box.GetChild(i), boxes);
}

} // namespace

TEditCommands::TEditCommands(TtcrateFormMain& window) : QObject(&window), window_(window) {}

TEditCommands::~TEditCommands() = default;

TTUNECRATE& TEditCommands::Library() const { return *window_.Library(); }

TBOX* TEditCommands::SelectedBox() const { return TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode()); }

std::vector<TTrackRow> TEditCommands::SelectedRows() const { return window_.TrackList().SelectedRows(); }

void TEditCommands::Change(const std::function<void()>& change) {
    // Rows may show boxes the change frees, and the builder must not read a
    // box while it changes.
    window_.TrackList().ForgetRows();
    {
        std::unique_lock lock(window_.LibraryLock());
        change();
    }
    emit LibraryChanged();
}

void TEditCommands::Forget() {
    cut_.clear();
    cutSource_ = nullptr;
}

bool TEditCommands::IsLiveBox(const TBOX* box) const {
    if (box == nullptr || window_.Library() == nullptr) return false;
    std::unordered_set<const TBOX*> boxes;
    for (const TBOX* root : {&Library().AllItemsBox, &Library().FavouritesBox, &Library().PlaylistBox,
                             &Library().NowPlayingBox})
        CollectBoxes(*root, boxes);
    return boxes.contains(box);
}

// ---- long commands -------------------------------------------------------------

void TEditCommands::SetBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        enabledBefore_.clear();
        for (const char* name : kChangingCommands) {
            enabledBefore_.push_back(window_.Action(name)->isEnabled());
            window_.Action(name)->setEnabled(false);
        }
        return;
    }
    std::size_t i = 0;
    for (const char* name : kChangingCommands) window_.Action(name)->setEnabled(enabledBefore_[i++]);
    window_.TrackList().UpdateCommandStates();
    window_.SetCommandEnabled("Paste1", !cut_.empty());
    // Once the command has finished what it does after its wait window.
    for (auto& then : std::exchange(waiting_, {}))
        QMetaObject::invokeMethod(this, [this, then = std::move(then)] { WhenIdle(then); }, Qt::QueuedConnection);
}

bool TEditCommands::HoldsOff(const QString& command) const {
    if (!busy_) return false;
    for (const char* name : kChangingCommands)
        if (command == name) return true;
    return false;
}

void TEditCommands::WhenIdle(std::function<void()> then) {
    if (busy_) {
        waiting_.push_back(std::move(then));
    } else {
        then();
    }
}

void TEditCommands::RunWithWait(const char* message, int total, const std::function<void(TFormWait&)>& steps) {
    SetBusy(true);
    {
        TFormWait wait(&window_);
        wait.SetMessage(QString::fromUtf8(message));
        wait.show();
        wait.SetTotal(total);
        steps(wait);
    }
    SetBusy(false);
}

// ---- adding ----------------------------------------------------------------------

void TEditCommands::AddFilesClick() {
    if (window_.Library() == nullptr || busy_) return;
    QStringList filter;
    for (const std::string& line : window_.Registry().FilterList()) {
        const std::size_t equals = line.find('=');
        filter << Text(line.substr(equals + 1)) << "*" + Text(line.substr(0, equals));
    }
    const QStringList chosen = window_.Dialogs().OpenFiles(&window_, "Tunecrate, Add mp3 files", filter.join('|'));
    if (chosen.isEmpty()) return;
    std::vector<std::string> files;
    for (const QString& file : chosen) files.push_back(file.toStdString());
    AddFiles(files);
}

void TEditCommands::ToolButton6Click() {
    if (window_.Library() == nullptr || busy_) return;
    std::string folder = window_.Dialogs().Folder(&window_, "Select folder").toStdString();
    if (folder.empty()) return;
    if (folder.back() != '/') folder += '/';
    std::vector<std::string> files;
    ScanFolder(files, folder, window_.Registry());
    AddFiles(files);
}

void TEditCommands::AddFiles(const std::vector<std::string>& files) {
    if (window_.Library() == nullptr) return;
    RunWithWait("正在创建音乐索引 ...", int(files.size()), [&](TFormWait& wait) {
        for (const std::string& file : files) {
            wait.StepFile(Text(file));
            // Items are only added: a build in progress reads what it counted.
            std::unique_lock lock(window_.LibraryLock());
            Library().AddFile(file);
        }
    });
    window_.BoxTree().RefreshAllItemsBranch();
    window_.TrackList().StartViewBuild();
}

// ---- deleting --------------------------------------------------------------------

void TEditCommands::RemoveBox(TBOX* box, bool fromLibrary, bool deleteFiles, QStringList* notDeleted) {
    box->SetSortKey("not sort");
    std::vector<TMObj*> leaving, staying;
    for (int i = box->ItemCount() - 1; i >= 0; --i) {
        TMObj* item = box->GetItem(i);
        if (deleteFiles && !DeleteFile(item->GetFileName())) {
            *notDeleted << Text(item->GetFileName());
            staying.push_back(item);
        } else {
            leaving.push_back(item);
        }
    }
    if (fromLibrary) Library().RemoveItems(leaving);
    if (!staying.empty()) {
        // Items whose file could not be deleted stay, and so does their box.
        box->RemoveItems(std::vector<const TMObj*>(leaving.begin(), leaving.end()));
        return;
    }
    box->ClearItems();
    box->Parent()->RemoveChild(box);
}

void TEditCommands::ToolButton9Click() {
    if (window_.Library() == nullptr || busy_) return;
    TBoxTreeController& tree = window_.BoxTree();
    QTreeWidgetItem* node = tree.SelectedNode();
    TBOX* selected = SelectedBox();
    if (selected == nullptr) return;
    const bool fromLibrary = tree.IsUnderAllItems(node);
    if (window_.Tree()->hasFocus()) {
        // Roots are not deleted.
        if (node->parent() == nullptr || !window_.Dialogs().Confirm(&window_, "是否确定删除 ?")) return;
        QTreeWidgetItem* parent = node->parent();
        window_.Tree()->setCurrentItem(parent);
        Change([&] { RemoveBox(selected, fromLibrary, false, nullptr); });
        tree.RefreshNode(parent);
    } else {
        const std::vector<TTrackRow> rows = SelectedRows();
        if (rows.empty() || !window_.Dialogs().Confirm(&window_, "是否确定删除 ?")) return;
        Change([&] {
            std::vector<TMObj*> items;
            for (const TTrackRow& row : rows) {
                if (row.box != nullptr) {
                    RemoveBox(row.box, fromLibrary, false, nullptr);
                } else {
                    items.push_back(row.item);
                }
            }
            selected->RemoveItems(std::vector<const TMObj*>(items.begin(), items.end()));
            if (fromLibrary) Library().RemoveItems(items);
        });
        tree.RefreshNode(node);
    }
    window_.TrackList().StartViewBuild();
}

void TEditCommands::ToolButton4Click() {
    if (window_.Library() == nullptr || busy_ || !window_.ListView()->hasFocus()) return;
    TBOX* selected = SelectedBox();
    const std::vector<TTrackRow> rows = SelectedRows();
    if (selected == nullptr || rows.empty() || !window_.Dialogs().Confirm(&window_, "是否确定彻底删除 ?")) return;
    QStringList notDeleted;
    Change([&] {
        std::vector<TMObj*> items;
        for (const TTrackRow& row : rows) {
            if (row.box != nullptr) {
                RemoveBox(row.box, true, true, &notDeleted);
            } else if (DeleteFile(row.item->GetFileName())) {
                items.push_back(row.item);
            } else {
                notDeleted << Text(row.item->GetFileName());
            }
        }
        selected->RemoveItems(std::vector<const TMObj*>(items.begin(), items.end()));
        Library().RemoveItems(items);
    });
    window_.BoxTree().RefreshNode(window_.BoxTree().SelectedNode());
    window_.TrackList().StartViewBuild();
    ReportFailures("无法删除", notDeleted);
}

void TEditCommands::ReportFailures(const QString& what, const QStringList& files) {
    if (files.isEmpty()) return;
    QString text = QString("%1 个文件%2:").arg(files.size()).arg(what);
    for (qsizetype i = 0; i < files.size() && i < kReportedFiles; ++i) text += "\r" + files[i];
    if (files.size() > kReportedFiles) text += "\r...";
    window_.Dialogs().Error(&window_, text);
}

// ---- cut, paste and drops --------------------------------------------------------

void TEditCommands::Cut2Click() {
    if (window_.Library() == nullptr || busy_) return;
    cut_.clear();
    cutSource_ = SelectedBox();
    for (const TTrackRow& row : SelectedRows())
        if (row.item != nullptr) cut_.push_back(row.item);
    window_.SetCommandEnabled("Paste1", !cut_.empty());
}

void TEditCommands::MoveIntoBox(TMObj* item, QTreeWidgetItem* target, TBOX* source) {
    TBOX* destination = TBoxTreeController::BoxOf(target);
    for (QTreeWidgetItem *node = target, *parent = target->parent(); parent != nullptr;
         node = parent, parent = parent->parent()) {
        Apply(SetterFor(TBoxTreeController::BoxOf(parent)->GetSortKey(), true), item,
              TBoxTreeController::BoxOf(node)->GetName());
        destination = TBoxTreeController::BoxOf(node);
    }
    if (source != nullptr) source->RemoveItem(item);
    destination->AddItem(item);
}

void TEditCommands::Paste3Click() {
    if (window_.Library() == nullptr || busy_) return;
    QTreeWidgetItem* target = window_.BoxTree().SelectedNode();
    if (target != nullptr && !cut_.empty()) {
        // The box cut from may have gone since (deleted, sorted anew).
        TBOX* source = IsLiveBox(cutSource_) ? cutSource_ : nullptr;
        Change([&] {
            for (TMObj* item : cut_) MoveIntoBox(item, target, source);
        });
        // New boxes on the way get their nodes.
        window_.BoxTree().RefreshNode(window_.BoxTree().RootNodeOf(target));
        window_.TrackList().StartViewBuild();
    }
    Forget();
    window_.SetCommandEnabled("Paste1", false);
}

void TEditCommands::Paste4Click() {
    if (window_.Library() == nullptr || busy_) return;
    const std::vector<TTrackRow> rows = SelectedRows();
    if (rows.empty()) return;
    TBOX* selected = SelectedBox();
    TBOX* target = rows.front().box;
    if (selected != nullptr && target != nullptr && !cut_.empty()) {
        TBOX* source = IsLiveBox(cutSource_) ? cutSource_ : nullptr;
        const TSetter setter = SetterFor(selected->GetSortKey(), true);
        Change([&] {
            for (TMObj* item : cut_) {
                Apply(setter, item, target->GetName());
                if (source != nullptr) source->RemoveItem(item);
                target->AddItem(item);
            }
        });
        window_.BoxTree().RefreshNode(window_.BoxTree().SelectedNode());
        window_.TrackList().StartViewBuild();
    }
    Forget();
    window_.SetCommandEnabled("Paste1", false);
}

bool TEditCommands::CanDropOnNode(const QTreeWidgetItem* node) const {
    return node != nullptr && !busy_ && window_.Library() != nullptr &&
           TBoxTreeController::BoxOf(node) != &Library().AllItemsBox;
}

void TEditCommands::TreeView1DragDrop(QTreeWidgetItem* target) {
    if (!CanDropOnNode(target)) return;
    TBoxTreeController& tree = window_.BoxTree();
    TBOX* source = SelectedBox();
    std::vector<TMObj*> items;
    for (const TTrackRow& row : SelectedRows())
        if (row.item != nullptr) items.push_back(row.item);
    QTreeWidgetItem* root = tree.RootNodeOf(target);
    if (tree.IsUnderAllItems(target)) {
        Change([&] {
            for (TMObj* item : items) MoveIntoBox(item, target, source);
        });
        tree.RefreshNode(root);
    } else {
        Change([&] { AddToBox(*TBoxTreeController::BoxOf(root), items); });
        tree.RefreshNode(root);
    }
    window_.TrackList().StartViewBuild();
}

void TEditCommands::ListView1DragDrop(int row) {
    if (window_.Library() == nullptr || busy_ || row < 0 || row >= window_.TrackList().Model().rowCount()) return;
    TBOX* target = window_.TrackList().Model().Row(row).box;
    TBOX* source = SelectedBox();
    if (target == nullptr || source == nullptr) return;
    const TSetter setter = SetterFor(source->GetSortKey(), false);
    std::vector<TMObj*> items;
    for (const TTrackRow& selected : SelectedRows())
        if (selected.item != nullptr) items.push_back(selected.item);
    Change([&] {
        for (TMObj* item : items) {
            Apply(setter, item, target->GetName());
            source->RemoveItem(item);
            target->AddItem(item);
        }
    });
    window_.BoxTree().RefreshNode(window_.BoxTree().SelectedNode());
    window_.TrackList().StartViewBuild();
}

// ---- renaming --------------------------------------------------------------------

void TEditCommands::TreeView1Edited(TBOX* box, const QString& text) {
    // The box's node, if the box is still there.
    QTreeWidgetItem* node = window_.BoxTree().FindChildNodeForBox(nullptr, box);
    if (node == nullptr || window_.Library() == nullptr || busy_) return;
    QTreeWidgetItem* parent = node->parent();
    const std::string name = text.toStdString();
    if (parent != nullptr) {
        std::vector<TMObj*> items;
        box->CollectItems(items);
        // Children of a key that names no tag keep their name while they hold items.
        if (SetterFor(TBoxTreeController::BoxOf(parent)->GetSortKey(), false) == nullptr && !items.empty()) return;
        Change([&] { Rename(box, name, items); });
        window_.BoxTree().RefreshNode(parent);
    } else {
        Change([&] { box->SetName(name); });
        node->setText(0, text);
    }
    window_.BoxTree().SortTree();
    window_.TrackList().StartViewBuild();
}

void TEditCommands::Rename(TBOX* box, const std::string& name, const std::vector<TMObj*>& items) {
    TBOX* parent = box->Parent();
    const TSetter setter = SetterFor(parent->GetSortKey(), false);
    for (TMObj* item : items) Apply(setter, item, name);
    if (box->SetName(name)) return;
    // A sibling has the name already: the items, re-tagged, join it.
    std::unique_ptr<TBOX> gone = parent->RemoveChild(box);
    for (TMObj* item : items) parent->AddItem(item);
}

void TEditCommands::ListView1Edited(TTrackRow edited, const QString& text) {
    if (window_.Library() == nullptr || busy_) return;
    const std::string name = text.toStdString();
    if (edited.box != nullptr) {
        // The box may have gone meanwhile.
        if (!IsLiveBox(edited.box) || edited.box->Parent() == nullptr) return;
        Change([&] {
            std::vector<TMObj*> items;
            edited.box->CollectItems(items);
            Rename(edited.box, name, items);
        });
        window_.BoxTree().RefreshNode(window_.BoxTree().SelectedNode());
        window_.BoxTree().SortTree();
        window_.TrackList().StartViewBuild();
    } else {
        {
            std::unique_lock lock(window_.LibraryLock());
            edited.item->SetTitle(name);
        }
        window_.TrackList().EndListUpdate();
    }
}

// ---- favourites and playlist -----------------------------------------------------

void TEditCommands::AddToBox(TBOX& target, const std::vector<TMObj*>& items) {
    for (TMObj* item : items)
        if (!target.Contains(item)) target.AddItem(item);
}

void TEditCommands::AddtoMYFavour1Click() {
    if (window_.Library() != nullptr) AddBoxTo(Library().FavouritesBox);
}
void TEditCommands::Addtoplaylist4Click() {
    if (window_.Library() != nullptr) AddBoxTo(Library().PlaylistBox);
}
void TEditCommands::AddtoMyfavour3Click() {
    if (window_.Library() != nullptr) AddRowsTo(Library().FavouritesBox);
}
void TEditCommands::Addtoplaylist1Click() {
    if (window_.Library() != nullptr) AddRowsTo(Library().PlaylistBox);
}

void TEditCommands::AddBoxTo(TBOX& target) {
    TBOX* selected = SelectedBox();
    if (selected == nullptr || busy_) return;
    std::vector<TMObj*> items;
    selected->CollectItems(items);
    AddItemsTo(target, items);
}

void TEditCommands::AddRowsTo(TBOX& target) {
    if (busy_) return;
    std::vector<TMObj*> items;
    for (const TTrackRow& row : SelectedRows()) {
        if (row.box != nullptr) {
            row.box->CollectItems(items);
        } else {
            items.push_back(row.item);
        }
    }
    AddItemsTo(target, items);
}

void TEditCommands::AddItemsTo(TBOX& target, const std::vector<TMObj*>& items) {
    TBoxTreeController& tree = window_.BoxTree();
    // Only a list of the target's tree has to be listed anew.
    const bool listed = TBoxTreeController::BoxOf(tree.RootNodeOf(tree.SelectedNode())) == &target;
    if (listed) {
        Change([&] { AddToBox(target, items); });
        window_.TrackList().StartViewBuild();
    } else {
        std::unique_lock lock(window_.LibraryLock());
        AddToBox(target, items);
    }
    if (&target == &Library().FavouritesBox) {
        tree.RefreshFavouritesBranch();
    } else {
        tree.RefreshPlaylistBranch();
    }
}

// ---- tags ------------------------------------------------------------------------

namespace {

QString RowCaption(const TTrackRow& row) {
    return Text(row.box != nullptr ? row.box->GetName() : row.item->GetTitle());
}

} // namespace

void TEditCommands::Reload(const std::vector<TTrackRow>& rows) {
    if (window_.Library() == nullptr || busy_ || rows.empty()) return;
    RunWithWait("正在重建音乐索引 ...", int(rows.size()), [&](TFormWait& wait) {
        for (const TTrackRow& row : rows) {
            wait.StepFile(RowCaption(row));
            std::unique_lock lock(window_.LibraryLock());
            if (row.box != nullptr) {
                row.box->ReloadAllTags();
            } else {
                row.item->ReloadTags();
            }
        }
    });
    window_.TrackList().StartViewBuild();
}

void TEditCommands::Reloadtagfrommp3file1Click() { Reload(SelectedRows()); }

void TEditCommands::ReloadTagfrommp3files2Click() {
    const TTrackListModel& model = window_.TrackList().Model();
    std::vector<TTrackRow> rows;
    for (int i = 0; i < model.rowCount(); ++i) rows.push_back(model.Row(i));
    Reload(rows);
}

void TEditCommands::SaveTags(int count, const std::function<QString(int)>& caption,
                            const std::function<std::vector<TMObj*>(int)>& itemsOf) {
    QStringList failed;
    RunWithWait("正在保存音乐信息 ...", count, [&](TFormWait& wait) {
        for (int i = 0; i < count; ++i) {
            wait.StepFile(caption(i));
            std::unique_lock lock(window_.LibraryLock());
            for (TMObj* item : itemsOf(i))
                if (item->SaveIfModified() != 0) failed << Text(item->GetFileName());
        }
    });
    ReportFailures("的标签无法写入", failed);
}

void TEditCommands::Savetagtomp3file1Click() {
    if (window_.Library() == nullptr || busy_) return;
    const std::vector<TTrackRow> rows = SelectedRows();
    SaveTags(int(rows.size()), [&](int i) { return RowCaption(rows[std::size_t(i)]); }, [&](int i) {
        std::vector<TMObj*> items;
        const TTrackRow& row = rows[std::size_t(i)];
        if (row.box != nullptr) {
            row.box->CollectItems(items);
        } else {
            items.push_back(row.item);
        }
        return items;
    });
}

void TEditCommands::SaveTagtomp3files2Click() {
    TBOX* selected = SelectedBox();
    if (window_.Library() == nullptr || busy_ || selected == nullptr) return;
    std::vector<TMObj*> items;
    selected->CollectItems(items);
    SaveTags(int(items.size()), [&](int i) { return Text(items[std::size_t(i)]->GetFileName()); },
             [&](int i) { return std::vector<TMObj*>{items[std::size_t(i)]}; });
}

// ---- the tag editor --------------------------------------------------------------

void TEditCommands::PropertiesClick() {
    if (window_.Library() == nullptr || busy_) return;
    const std::vector<TTrackRow> rows = SelectedRows();
    if (rows.empty() || rows.front().item == nullptr) return;
    if (rows.front().item->ShowProperties("MAIN", nullptr) == 1) window_.ItemEdited();
}
