#include "browser/boxtree.h"

#include <QAction>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QMenu>
#include <QTreeWidget>
#include <array>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "browser/editcommands.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/library.h"
#include "core/valuelist.h"
#include "playback/tray.h"
#include "ui/images.h"

namespace {

constexpr int kBoxRole = Qt::UserRole;

// A node holding a box. Below the roots, siblings go in caption order; the
// roots keep the order in which they were added (the sort is stable).
class TBoxNode final : public QTreeWidgetItem {
public:
    explicit TBoxNode(TBOX* box) { setData(0, kBoxRole, QVariant::fromValue(static_cast<void*>(box))); }

    void setData(int column, int role, const QVariant& value) override {
        // The caption as the sort compares it, made once rather than at every comparison.
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) caption_ = value.toString().toStdString();
        QTreeWidgetItem::setData(column, role, value);
    }

    bool operator<(const QTreeWidgetItem& other) const override {
        if (parent() == nullptr) return false;
        return CompareIgnoringAsciiCase(caption_, static_cast<const TBoxNode&>(other).caption_) < 0;
    }

private:
    std::string caption_;
};

struct TSortItems {
    const char* key;
    const char* tools;  // the Tools menu's radio item
    const char* sorter; // the tree menu's radio item
};
constexpr std::array<TSortItems, 7> kSortItems = {{
    {"artist", "SortbyArtist1", "SortbyArtist2"},
    {"year", "SortbyYear1", "SortbyYear2"},
    {"genre", "SortbyGenre1", "SortbyGenre2"},
    {"album", "SortbyAlbum1", "SortbyAlbum2"},
    {"bitrate", "SortbyBitrate3", "SortbyBitrate1"},
    {"mime", "SortbyFiletype2", "SortbyType1"},
    {"not sort", "NotSort1", "NotSort2"},
}};

const TSortItems& SortItemsOf(const std::string& key) {
    for (const TSortItems& items : kSortItems)
        if (key == items.key) return items;
    return kSortItems.back();
}

// Which items of the tree's context menu show, by where the node stands.
enum TPlace { kAllRoot, kAllChild, kFavouritesRoot, kFavouritesChild, kPlaylistRoot, kPlaylistChild };
struct TVisibility {
    std::array<const char*, 7> items;
    std::array<bool, 6> shown;
};
const TVisibility kPopupMenuBox[] = {
    {{"AddFiles1", "AddFolder1", "N3"}, {true, false, false, false, false, false}},
    {{"Sorter1", "N10", "Play2", "N19", "Copyfiles1", "N21", "Paste3"}, {true, true, true, true, true, true}},
    {{"AddtoMyFavour1"}, {true, true, false, false, true, true}},
    {{"AddtoPlaylist4"}, {true, true, true, true, false, false}},
    {{"Open1"}, {false, false, false, false, true, false}},
    {{"Saveas1", "N20"}, {true, true, true, false, true, false}},
    {{"Saveinfotofile1", "Refreshfileinfo1", "N24"}, {true, true, false, false, false, false}},
    {{"Delete1", "N25"}, {false, true, false, true, false, true}},
    {{"N42", "Rename2"}, {true, true, true, false, true, false}},
    {{"SortbyArtistAlbum1", "SortbyYearAlbum1", "SortbyYearArtist1", "N8"}, {true, false, true, false, true, false}},
};

} // namespace

TBoxTreeController::TBoxTreeController(TtcrateFormMain& window, QTreeWidget& tree) : window_(window), tree_(tree) {
    tree_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&tree_, &QTreeWidget::customContextMenuRequested, this, &TBoxTreeController::ShowContextMenu);
    connect(&tree_, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
    // The current node is the one opened, however it became current (a
    // press makes a node current before it selects it).
    connect(&tree_, &QTreeWidget::currentItemChanged, this, [this] { TreeView1Change(); });
    tree_.installEventFilter(this);
    tree_.viewport()->setAcceptDrops(true);
    tree_.viewport()->installEventFilter(this);
    // An edited caption is the editing commands' to act on; whatever they
    // do, the node then shows its box's name.
    connect(&tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) {
        TBOX* box = BoxOf(node);
        if (box == nullptr || node->text(0) == QString::fromStdString(box->GetName())) return;
        const QString text = node->text(0);
        node->setText(0, QString::fromStdString(box->GetName()));
        // After the editor is done with the node: the command may replace it.
        QMetaObject::invokeMethod(
            this, [this, box, text] { window_.Edit().TreeView1Edited(box, text); }, Qt::QueuedConnection);
    });
}

TBOX* TBoxTreeController::BoxOf(const QTreeWidgetItem* node) {
    return node == nullptr ? nullptr : static_cast<TBOX*>(node->data(0, kBoxRole).value<void*>());
}

QTreeWidgetItem* TBoxTreeController::SelectedNode() const { return tree_.currentItem(); }

bool TBoxTreeController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &tree_ && event->type() == QEvent::FocusIn) window_.TrackList().UpdateCommandStates();
    // Track list rows dropped on a node: moved into it (re-tagged) below the
    // all-items root, added to the box elsewhere.
    if (watched == tree_.viewport() && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                                        event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        QTreeWidgetItem* node = tree_.itemAt(drop->position().toPoint());
        if (!drop->mimeData()->hasFormat(kRowsMimeType) || !window_.Edit().CanDropOnNode(node)) {
            drop->ignore();
        } else {
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) window_.Edit().TreeView1DragDrop(node);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QTreeWidgetItem* TBoxTreeController::RootNodeOf(QTreeWidgetItem* node) const {
    while (node != nullptr && node->parent() != nullptr) node = node->parent();
    return node;
}

QTreeWidgetItem* TBoxTreeController::FindChildNodeForBox(QTreeWidgetItem* node, const TBOX* box) const {
    if (node != nullptr) {
        for (int i = 0; i < node->childCount(); ++i)
            if (BoxOf(node->child(i)) == box) return node->child(i);
        return nullptr;
    }
    for (QTreeWidgetItemIterator it(&tree_); *it != nullptr; ++it)
        if (BoxOf(*it) == box) return *it;
    return nullptr;
}

QTreeWidgetItem* TBoxTreeController::FindNodeByCaption(QTreeWidgetItem* node, const QString& caption) const {
    if (node != nullptr) {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == caption) return node->child(i);
        return nullptr;
    }
    for (QTreeWidgetItemIterator it(&tree_); *it != nullptr; ++it)
        if ((*it)->text(0) == caption) return *it;
    return nullptr;
}

QTreeWidgetItem* TBoxTreeController::FindChildNodeOfSelected(const TBOX* box) const {
    QTreeWidgetItem* selected = SelectedNode();
    if (selected == nullptr) return nullptr;
    return BoxOf(selected) == box ? selected : FindChildNodeForBox(selected, box);
}

bool TBoxTreeController::IsUnderAllItems(QTreeWidgetItem* node) const {
    return library_ != nullptr && node != nullptr && BoxOf(RootNodeOf(node)) == &library_->AllItemsBox;
}
bool TBoxTreeController::IsUnderFavourites(QTreeWidgetItem* node) const {
    return library_ != nullptr && node != nullptr && BoxOf(RootNodeOf(node)) == &library_->FavouritesBox;
}
bool TBoxTreeController::IsUnderPlaylist(QTreeWidgetItem* node) const {
    return library_ != nullptr && node != nullptr && BoxOf(RootNodeOf(node)) == &library_->PlaylistBox;
}
bool TBoxTreeController::IsUnderNowPlaying(QTreeWidgetItem* node) const {
    return library_ != nullptr && node != nullptr && BoxOf(RootNodeOf(node)) == &library_->NowPlayingBox;
}

void TBoxTreeController::RefreshBranch(TBOX& box, int image) {
    tree_.setUpdatesEnabled(false);
    updating_ = true;
    QTreeWidgetItem* root = FindChildNodeForBox(nullptr, &box);
    if (root == nullptr) {
        root = new TBoxNode(&box);
        root->setText(0, QString::fromStdString(box.GetName()));
        root->setIcon(0, ImageList20(image));
        tree_.addTopLevelItem(root);
    }
    RefreshNode(root);
    updating_ = false;
    tree_.setUpdatesEnabled(true);
    SortTree();
}

void TBoxTreeController::RefreshAllItemsBranch() {
    if (library_ != nullptr) RefreshBranch(library_->AllItemsBox, Images::kAllItemsRoot);
}
void TBoxTreeController::RefreshFavouritesBranch() {
    if (library_ != nullptr) RefreshBranch(library_->FavouritesBox, Images::kFavourites);
}
void TBoxTreeController::RefreshPlaylistBranch() {
    if (library_ != nullptr) RefreshBranch(library_->PlaylistBox, Images::kPlaylist);
}
void TBoxTreeController::RefreshNowPlayingBranch() {
    if (library_ != nullptr) RefreshBranch(library_->NowPlayingBox, Images::kNowPlaying);
}

void TBoxTreeController::RefreshNode(QTreeWidgetItem* node) {
    TBOX* box = BoxOf(node);
    if (box == nullptr) return;
    const bool expanded = node->isExpanded();
    std::unordered_set<const TBOX*> childBoxes;
    childBoxes.reserve(static_cast<std::size_t>(box->ChildCount()));
    for (int k = 0; k < box->ChildCount(); ++k) childBoxes.insert(box->GetChild(k));
    RemoveChildNodes(node, [&](const QTreeWidgetItem* child) { return !childBoxes.contains(BoxOf(child)); });

    // Of two nodes of one box the first counts, as FindChildNodeForBox finds it.
    std::unordered_map<const TBOX*, QTreeWidgetItem*> nodeOf;
    nodeOf.reserve(static_cast<std::size_t>(node->childCount()));
    for (int i = 0; i < node->childCount(); ++i) nodeOf.emplace(BoxOf(node->child(i)), node->child(i));
    static const QIcon boxIcon = [] {
        QIcon icon = ImageList20(Images::kBox);
        icon.addPixmap(ImageList20(Images::kSelectedBox).pixmap(20, 20), QIcon::Selected);
        return icon;
    }();
    QList<QTreeWidgetItem*> added;
    for (int k = 0; k < box->ChildCount(); ++k) {
        TBOX* childBox = box->GetChild(k);
        const auto found = nodeOf.find(childBox);
        QTreeWidgetItem* child = found != nodeOf.end() ? found->second : nullptr;
        if (child == nullptr) {
            child = new TBoxNode(childBox);
            added << child;
        }
        child->setText(0, QString::fromStdString(childBox->GetName()));
        child->setIcon(0, boxIcon);
        if (childBox->ChildCount() > 0) {
            RefreshNode(child);
        } else {
            RemoveChildNodes(child);
        }
    }
    // New nodes go in at once, after the old ones.
    node->addChildren(added);
    node->setExpanded(expanded);
}

void TBoxTreeController::RebuildNode(QTreeWidgetItem* node) {
    if (node == nullptr) return;
    RemoveChildNodes(node);
    RefreshNode(node);
}

void TBoxTreeController::RemoveChildNodes(QTreeWidgetItem* node) {
    RemoveChildNodes(node, [](const QTreeWidgetItem*) { return true; });
}

void TBoxTreeController::RemoveChildNodes(QTreeWidgetItem* node,
                                          const std::function<bool(const QTreeWidgetItem*)>& gone) {
    for (const QTreeWidgetItem* above = lastOpened_; above != nullptr; above = above->parent())
        if (above->parent() == node && gone(above)) lastOpened_ = nullptr;
    // Runs of neighbours go in one step each, from the end.
    int end = node->childCount();
    while (end > 0) {
        if (!gone(node->child(end - 1))) {
            --end;
            continue;
        }
        int begin = end - 1;
        while (begin > 0 && gone(node->child(begin - 1))) --begin;
        if (begin == 0 && end == node->childCount()) {
            qDeleteAll(node->takeChildren());
        } else {
            tree_.model()->removeRows(begin, end - begin, IndexOf(node));
        }
        end = begin;
    }
}

QModelIndex TBoxTreeController::IndexOf(QTreeWidgetItem* node) const {
    if (node == nullptr) return {};
    QTreeWidgetItem* parent = node->parent();
    const int row = parent != nullptr ? parent->indexOfChild(node) : tree_.indexOfTopLevelItem(node);
    return tree_.model()->index(row, 0, IndexOf(parent));
}

void TBoxTreeController::RefreshSelectedNode() {
    RefreshNode(SelectedNode());
    SortTree();
}

void TBoxTreeController::SortTree() { tree_.sortItems(0, Qt::AscendingOrder); }

void TBoxTreeController::CheckToolsSortItem(const std::string& key) {
    window_.Action(SortItemsOf(key).tools)->setChecked(true);
}

void TBoxTreeController::TreeView1Click() {
    if (updating_) return;
    QTreeWidgetItem* node = SelectedNode();
    if (node != nullptr && node != lastOpened_ && BoxOf(node) != nullptr) {
        lastOpened_ = node;
        window_.TrackList().StartViewBuild();
        CheckToolsSortItem(BoxOf(node)->GetSortKey());
    }
    window_.TrackList().UpdateStatusCounts();
}

void TBoxTreeController::TreeView1Change() {
    // What is highlighted is what is open: keys that move only the current
    // node (Ctrl and an arrow) select it too.
    if (QTreeWidgetItem* node = tree_.currentItem(); node != nullptr && !node->isSelected())
        tree_.setCurrentItem(node, 0, QItemSelectionModel::ClearAndSelect);
    if (updating_ || window_.Creating()) return;
    TreeView1Click();
    window_.TrackList().UpdateCommandStates();
}

void TBoxTreeController::SortSelected(const std::string& key, bool sortTree) {
    QTreeWidgetItem* node = SelectedNode();
    TBOX* box = BoxOf(node);
    if (box == nullptr) return;
    TTrackListController& list = window_.TrackList();
    // The box's children go, and the rows showing them with them.
    list.ForgetRows();
    {
        std::unique_lock change(window_.LibraryLock());
        box->SetSortKey(key);
    }
    const bool expanded = node->isExpanded();
    RebuildNode(node);
    list.StartViewBuild();
    node->setExpanded(expanded);
    CheckToolsSortItem(key);
    if (sortTree) SortTree();
}

void TBoxTreeController::SortSelectedTwoLevels(const std::string& first, const std::string& second) {
    QTreeWidgetItem* node = SelectedNode();
    TBOX* box = BoxOf(node);
    if (box == nullptr) return;
    window_.TrackList().ForgetRows();
    {
        std::unique_lock change(window_.LibraryLock());
        box->SetSortKey(first);
        for (int i = 0; i < box->ChildCount(); ++i) box->GetChild(i)->SetSortKey(second);
    }
    RemoveChildNodes(node);
    if (IsUnderAllItems(node)) {
        RefreshAllItemsBranch();
    } else if (IsUnderFavourites(node)) {
        RefreshFavouritesBranch();
    } else if (IsUnderPlaylist(node)) {
        RefreshPlaylistBranch();
    } else if (IsUnderNowPlaying(node)) {
        RefreshNowPlayingBranch();
    }
    window_.TrackList().StartViewBuild();
}

void TBoxTreeController::PreparePopupMenuBox() {
    QTreeWidgetItem* node = SelectedNode();
    const bool root = node != nullptr && node->parent() == nullptr;
    TPlace place = root ? kAllRoot : kAllChild;
    if (IsUnderFavourites(node)) place = root ? kFavouritesRoot : kFavouritesChild;
    if (IsUnderPlaylist(node)) place = root ? kPlaylistRoot : kPlaylistChild;
    for (const TVisibility& row : kPopupMenuBox)
        for (const char* name : row.items)
            if (name != nullptr) window_.Action(name)->setVisible(row.shown[place]);
    if (const TBOX* box = BoxOf(node)) window_.Action(SortItemsOf(box->GetSortKey()).sorter)->setChecked(true);
    window_.SetCommandEnabled("Paste3", !window_.Edit().CutItems().empty());
}

void TBoxTreeController::ShowContextMenu(const QPoint& position) {
    QTreeWidgetItem* node = tree_.itemAt(position);
    if (node == nullptr) return;
    tree_.setCurrentItem(node);
    const QPoint where = tree_.viewport()->mapToGlobal(position);
    // The now-playing box's menu is the tray's, without the window's own commands.
    if (IsUnderNowPlaying(node)) {
        window_.Tray().HideWindowCommands();
        window_.Menu("PopupMenuPlay")->popup(where);
        return;
    }
    PreparePopupMenuBox();
    window_.Menu("PopupMenuBox")->popup(where);
}

void TBoxTreeController::Rename2Click() {
    QTreeWidgetItem* node = SelectedNode();
    if (node == nullptr || IsUnderNowPlaying(node)) return;
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    tree_.editItem(node, 0);
}
