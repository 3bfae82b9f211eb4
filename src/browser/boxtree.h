#pragma once

#include <QModelIndex>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class TBOX;
class TTUNECRATE;
class TtcrateFormMain;

// The box tree: one root node per standard box of the library, below each
// root the child boxes that classification made. The controller keeps the
// nodes in line with the boxes, opens the selected box, runs the sort
// commands on it and shows the tree's context menu.
class TBoxTreeController : public QObject {
    Q_OBJECT
public:
    TBoxTreeController(TtcrateFormMain& window, QTreeWidget& tree);

    // The library whose boxes the tree shows; none when it could not be read.
    void SetLibrary(TTUNECRATE* library) { library_ = library; }

    void RefreshAllItemsBranch();
    void RefreshFavouritesBranch();
    void RefreshPlaylistBranch();
    void RefreshNowPlayingBranch();
    void RefreshNode(QTreeWidgetItem* node);
    // After a change that replaced the child boxes of the node's box (a
    // re-sort frees them all): their nodes go and nodes of the new ones
    // come. RefreshNode alone could take a new box made where a freed one
    // was for the old one and keep its node.
    void RebuildNode(QTreeWidgetItem* node);
    void RefreshSelectedNode();
    // Siblings below the roots in caption order; the roots keep theirs.
    void SortTree();

    static TBOX* BoxOf(const QTreeWidgetItem* node);
    // The current node: the one opened, and the one the commands act on.
    QTreeWidgetItem* SelectedNode() const;
    QTreeWidgetItem* RootNodeOf(QTreeWidgetItem* node) const;
    // Among node's children (the whole tree in display order without a node)
    // the first holding that box, or showing that caption exactly.
    QTreeWidgetItem* FindChildNodeForBox(QTreeWidgetItem* node, const TBOX* box) const;
    QTreeWidgetItem* FindNodeByCaption(QTreeWidgetItem* node, const QString& caption) const;
    QTreeWidgetItem* FindChildNodeOfSelected(const TBOX* box) const;
    bool IsUnderAllItems(QTreeWidgetItem* node) const;
    bool IsUnderFavourites(QTreeWidgetItem* node) const;
    bool IsUnderPlaylist(QTreeWidgetItem* node) const;
    bool IsUnderNowPlaying(QTreeWidgetItem* node) const;

    // Opens the selected node's box, as a click on it does.
    void TreeView1Click();
    void TreeView1Change();

    // Sort key commands on the selected node ("artist", "album", "year",
    // "genre", "bitrate", "mime", "not sort"); the tree is sorted afterwards
    // unless told otherwise.
    void SortSelected(const std::string& key, bool sortTree = true);
    // Two levels at once: first on the selected box, second on each new child.
    void SortSelectedTwoLevels(const std::string& first, const std::string& second);
    // Checks the Tools menu's radio item for a sort key.
    void CheckToolsSortItem(const std::string& key);

    // Shows or hides the context menu's items for the selected node and
    // checks the sorter of its box; none for a node under the now-playing box.
    void PreparePopupMenuBox();
    void Rename2Click();

protected:
    // Focus entering the tree works out the command states.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshBranch(TBOX& box, int image);
    // Deletes the children for which gone holds (forgetting the last opened
    // node when it goes with them).
    void RemoveChildNodes(QTreeWidgetItem* node, const std::function<bool(const QTreeWidgetItem*)>& gone);
    void RemoveChildNodes(QTreeWidgetItem* node);
    QModelIndex IndexOf(QTreeWidgetItem* node) const;
    void ShowContextMenu(const QPoint& position);

    TtcrateFormMain& window_;
    QTreeWidget& tree_;
    TTUNECRATE* library_ = nullptr;
    // The node last sent to the track list; a click on it again does nothing.
    QTreeWidgetItem* lastOpened_ = nullptr;
    bool updating_ = false;
};
