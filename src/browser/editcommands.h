#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "browser/trackrow.h"

class QTreeWidgetItem;
class TBOX;
class TFormWait;
class TMObj;
class TTUNECRATE;
class TtcrateFormMain;

// The commands that change the library: adding files and folders, deleting,
// cut and paste, dropping rows on the tree and on box rows, renaming boxes
// and titles, adding to the favourites and the playlist, reloading and
// saving tags, and the tag editor. Moving an item into a box re-tags it with
// the names of the boxes on the way and lets the target file it.
//
// While a command with a wait window runs, the other commands that change
// the library are disabled, a hand-off waits and closing the window waits.
class TEditCommands : public QObject {
    Q_OBJECT
public:
    explicit TEditCommands(TtcrateFormMain& window);
    ~TEditCommands() override;

    void AddFilesClick();
    void ToolButton6Click(); // add folder
    // Adds the files with the wait window.
    void AddFiles(const std::vector<std::string>& files);
    void ToolButton9Click(); // delete
    void ToolButton4Click(); // full delete
    void Cut2Click();
    void Paste3Click();      // into the selected node
    void Paste4Click();      // into the first selected row's box
    // Rows dropped on a tree node and on a box row of the list.
    bool CanDropOnNode(const QTreeWidgetItem* node) const;
    void TreeView1DragDrop(QTreeWidgetItem* target);
    void ListView1DragDrop(int row);
    // Captions edited in the tree (of a box's node) and in the list (of a row).
    void TreeView1Edited(TBOX* box, const QString& text);
    void ListView1Edited(TTrackRow edited, const QString& text);
    void AddtoMYFavour1Click();
    void AddtoMyfavour3Click();
    void Addtoplaylist4Click();
    void Addtoplaylist1Click();
    void Reloadtagfrommp3file1Click();
    void ReloadTagfrommp3files2Click();
    void Savetagtomp3file1Click();
    void SaveTagtomp3files2Click();
    void PropertiesClick();

    // The items cut, waiting for a paste.
    const std::vector<TMObj*>& CutItems() const { return cut_; }
    // A command with a wait window runs.
    bool Busy() const { return busy_; }
    // The command is one that waits while a long one runs.
    bool HoldsOff(const QString& command) const;
    // Runs `then` now, or when the running command has ended.
    void WhenIdle(std::function<void()> then);
    // The library is about to go: nothing of it is kept.
    void Forget();

    // Runs a change of boxes or items that rows show: the list is emptied
    // first and the builder stopped, and the change runs under the lock.
    void Change(const std::function<void()>& change);
    // The long commands: the wait window, the other commands held off.
    void RunWithWait(const char* message, int total, const std::function<void(TFormWait&)>& steps);
    // The favourites or the playlist take the items, each once.
    void AddItemsTo(TBOX& target, const std::vector<TMObj*>& items);
    // One message box for the files a command could not write, delete or copy.
    void ReportFailures(const QString& what, const QStringList& files);

signals:
    // A change of boxes or items ran: items may have left the library.
    void LibraryChanged();

private:
    TTUNECRATE& Library() const;
    // The selected box and the rows chosen in the list.
    TBOX* SelectedBox() const;
    std::vector<TTrackRow> SelectedRows() const;
    void SetBusy(bool busy);
    // Re-tags an item for the box at `target` and files it there, out of `source`.
    void MoveIntoBox(TMObj* item, QTreeWidgetItem* target, TBOX* source);
    // Removes a child box with all it holds (from the library's item list
    // too when `fromLibrary`), its node and its rows; deletes the files when asked.
    void RemoveBox(TBOX* box, bool fromLibrary, bool deleteFiles, QStringList* notDeleted);
    // Re-tags a child box's items (all it holds) for a new name by its
    // parent's key and renames it; when a sibling has the name already, the
    // items join the sibling and the box goes.
    void Rename(TBOX* box, const std::string& name, const std::vector<TMObj*>& items);
    static void AddToBox(TBOX& target, const std::vector<TMObj*>& items);
    // The favourites or the playlist take the selected box's items or the
    // selected rows' items.
    void AddBoxTo(TBOX& target);
    void AddRowsTo(TBOX& target);
    void Reload(const std::vector<TTrackRow>& rows);
    // Saves the tags of each element's items, one step of the wait window each.
    void SaveTags(int count, const std::function<QString(int)>& caption,
                  const std::function<std::vector<TMObj*>(int)>& itemsOf);
    bool IsLiveBox(const TBOX* box) const;

    TtcrateFormMain& window_;
    TBOX* cutSource_ = nullptr;
    std::vector<TMObj*> cut_;
    bool busy_ = false;
    std::vector<std::function<void()>> waiting_;
    std::vector<bool> enabledBefore_;
};
