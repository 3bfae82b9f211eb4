#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "browser/trackrow.h"
#include <shared_mutex>

class QTreeView;
class TCreateViewThread;
class TInfoPanel;
class TMObj;
class TTrackListModel;
class TtcrateFormMain;

// The track list and the information panel below it: what the view builder
// lists, how rows sort, the status texts, the keys of the list, which
// commands the focus and the selection enable, and the columns shown.
class TTrackListController : public QObject {
    Q_OBJECT
public:
    TTrackListController(TtcrateFormMain& window, QTreeView& list, TInfoPanel& panel, std::shared_mutex& libraryLock);
    ~TTrackListController() override;

    TTrackListModel& Model() const { return *model_; }
    bool Building() const { return building_; }

    // Lists the selected node's box (not while the window is being made).
    void StartViewBuild();
    void StopViewBuild();
    // Stops the build and empties the list, before a change frees boxes or
    // items that rows show: a row is painted from what it refers to.
    void ForgetRows();
    // Shut-down: no more builds, no more list events.
    void StopBuilder();

    void BeginListUpdate();
    // Repaints again and sorts by the first column with its flag.
    void EndListUpdate();
    void ShowStatusText(const QString& text);
    void UpdateStatusCounts();
    void UpdateCommandStates();
    void UpdateInfoPanel();
    void ShowInfoPanel(bool show);
    void DetachViewEvents();
    void AttachViewEvents();
    TMObj* CurrentItem() const;
    // The selected rows, top to bottom.
    std::vector<TTrackRow> SelectedRows() const;

    // Columns: the first found of that caption (-1 for none), appended when
    // missing, removed when present; the visibility is kept in the settings.
    int FindColumn(const QString& caption) const;
    void ShowColumn(const QString& caption);
    void HideColumn(const QString& caption);
    void ApplyColumnVisibility(const QString& caption, bool visible);
    // The start-up step: the title and every column by its setting.
    void ApplyStoredColumns();
    // The column dialog.
    void ToolButton8Click();

    // Enter, Space, a double click: a box row opens its box in the tree, an
    // item row plays the selection.
    void ListView1DblClick();
    void SelectAll1Click();
    // Edits the caption of the current row.
    void Rename3Click();
    // The row sorters: a sort key for the box of the first selected row.
    void SortRowBox(const std::string& key);
    // Shows or hides the context menu's items for the selected node and the
    // first selected row, and checks the sorter of a box row.
    void PreparePopupMenuMusic();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RowChanged();
    int FirstSelectedRow() const;
    void ShowContextMenu(const QPoint& position);

    TtcrateFormMain& window_;
    QTreeView& list_;
    TInfoPanel& panel_;
    std::unique_ptr<TTrackListModel> model_;
    std::unique_ptr<TCreateViewThread> builder_;
    QMetaObject::Connection selectionConnection_;
    QMetaObject::Connection currentConnection_;
    bool building_ = false;
    bool suspended_ = false;
};
