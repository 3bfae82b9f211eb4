#include "browser/tracklistctl.h"

#include <QHeaderView>
#include <algorithm>
#include <QKeyEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QMenu>
#include <mutex>
#include <QTreeView>
#include <QTreeWidget>
#include <QAction>

#include "browser/boxtree.h"
#include "browser/columndialog.h"
#include "browser/editcommands.h"
#include "browser/infopanel.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/viewbuilder.h"
#include "media/mobj.h"
#include "playback/playcontrol.h"
#include "core/box.h"
#include "core/sysinfo.h"

namespace {

constexpr int kTitleWidth = 160;
constexpr int kColumnWidth = 100;
// The columns the list is made with, before the settings are applied.
constexpr int kDesignColumns = 9;

} // namespace

TTrackListController::TTrackListController(TtcrateFormMain& window, QTreeView& list, TInfoPanel& panel,
                                           std::shared_mutex& libraryLock)
    : window_(window), list_(list), panel_(panel), model_(std::make_unique<TTrackListModel>()) {
    qRegisterMetaType<TTrackRows>();
    list_.setModel(model_.get());
    list_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_.setSelectionBehavior(QAbstractItemView::SelectRows);
    list_.setRootIsDecorated(false);
    list_.setUniformRowHeights(true);
    list_.setIconSize(QSize(20, 20));
    list_.setEditTriggers(QAbstractItemView::SelectedClicked);
    // Rows are dragged onto the tree's nodes and onto box rows.
    list_.setDragEnabled(true);
    list_.viewport()->setAcceptDrops(true);
    list_.setDropIndicatorShown(false);
    // After the editor is done with the row: the command lists the box anew.
    connect(model_.get(), &TTrackListModel::RowEdited, this, [this](int row, const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, edited = model_->Row(row), text] { window_.Edit().ListView1Edited(edited, text); },
            Qt::QueuedConnection);
    });
    list_.header()->setSectionsClickable(true);
    list_.header()->setStretchLastSection(false);
    QFont font("Arial");
    font.setPixelSize(14);
    list_.setFont(font);
    for (int i = 0; i < kDesignColumns; ++i) ShowColumn(QString::fromUtf8(ColumnSet()[static_cast<std::size_t>(i)].caption));

    connect(list_.header(), &QHeaderView::sectionClicked, this, [this](int column) { model_->ClickColumn(column); });
    connect(&list_, &QTreeView::doubleClicked, this, [this] { ListView1DblClick(); });
    list_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&list_, &QTreeView::customContextMenuRequested, this, &TTrackListController::ShowContextMenu);
    list_.installEventFilter(this);
    list_.viewport()->installEventFilter(this);
    AttachViewEvents();

    builder_ = std::make_unique<TCreateViewThread>(libraryLock);
    // Signals still queued when the builder has gone (shut-down) are stale too.
    const auto current = [this](quint64 build) { return builder_ && build == builder_->CurrentBuild(); };
    connect(builder_.get(), &TCreateViewThread::BuildStarted, this, [this, current](quint64 build) {
        if (!current(build)) return;
        building_ = true;
        BeginListUpdate();
        model_->Clear();
    }, Qt::QueuedConnection);
    connect(builder_.get(), &TCreateViewThread::RowsReady, this, [this, current](quint64 build, const TTrackRows& rows) {
        if (current(build)) model_->Append(rows);
    }, Qt::QueuedConnection);
    connect(builder_.get(), &TCreateViewThread::StatusText, this, [this, current](quint64 build, const QString& text) {
        if (current(build)) ShowStatusText(text);
    }, Qt::QueuedConnection);
    connect(builder_.get(), &TCreateViewThread::BuildFinished, this, [this, current](quint64 build) {
        if (!current(build)) return;
        building_ = false;
        UpdateStatusCounts();
        EndListUpdate();
    }, Qt::QueuedConnection);
}

TTrackListController::~TTrackListController() = default;

void TTrackListController::StartViewBuild() {
    if (window_.Creating() || !builder_) return;
    if (TBOX* box = TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode())) builder_->RequestBuild(box);
}

void TTrackListController::StopViewBuild() {
    if (builder_) builder_->CancelBuild();
}

void TTrackListController::ForgetRows() {
    StopViewBuild();
    model_->Clear();
}

void TTrackListController::StopBuilder() {
    DetachViewEvents();
    builder_.reset();
    model_->Clear();
}

void TTrackListController::BeginListUpdate() {
    if (suspended_) return;
    suspended_ = true;
    list_.setUpdatesEnabled(false);
}

void TTrackListController::EndListUpdate() {
    if (suspended_) {
        suspended_ = false;
        list_.setUpdatesEnabled(true);
    }
    model_->Sort(0);
}

void TTrackListController::ShowStatusText(const QString& text) { window_.ShowStatusText(text); }

void TTrackListController::UpdateStatusCounts() {
    const TBOX* box = TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode());
    if (box == nullptr) return;
    const int selected = list_.selectionModel() != nullptr ? static_cast<int>(list_.selectionModel()->selectedRows().size()) : 0;
    ShowStatusText(QString("%1, %2 items, %3 items selected")
                       .arg(QString::fromStdString(box->GetName()))
                       .arg(box->ChildCount() + box->ItemCount())
                       .arg(selected));
}

void TTrackListController::UpdateCommandStates() {
    const int first = FirstSelectedRow();
    bool remove, information, cut;
    if (!list_.hasFocus()) {
        const QTreeWidgetItem* node = window_.BoxTree().SelectedNode();
        remove = node != nullptr && node->parent() != nullptr;
        information = false;
        cut = window_.Action("Cut1")->isEnabled();
    } else if (first >= 0) {
        information = cut = model_->Row(first).item != nullptr;
        remove = true;
    } else {
        remove = information = cut = false;
    }
    for (const char* name : {"Deletemp3file1", "Fulldelete1"}) window_.SetCommandEnabled(name, remove);
    window_.SetCommandEnabled("Fileinfo1", information);
    window_.SetCommandEnabled("Properties1", information);
    window_.SetCommandEnabled("Cut1", cut);
}

int TTrackListController::FirstSelectedRow() const {
    int first = -1;
    for (const QModelIndex& index : list_.selectionModel()->selectedRows())
        if (first < 0 || index.row() < first) first = index.row();
    return first;
}

TMObj* TTrackListController::CurrentItem() const { return panel_.CurrentItem(); }

void TTrackListController::UpdateInfoPanel() {
    if (building_) return;
    const int first = FirstSelectedRow();
    if (first < 0) return;
    TMObj* item = model_->Row(first).item;
    if (item == nullptr) {
        ShowInfoPanel(false);
        return;
    }
    panel_.UpdateInfoPanel(item);
    const std::string lyrics = item->GetLyrics();
    if (window_.Settings().ReadBool("lyrics.windows.autodisplay", true) && !lyrics.empty())
        window_.ShowLyrics("lyrics", QString::fromStdString(lyrics));
    ShowInfoPanel(true);
}

void TTrackListController::ShowInfoPanel(bool show) { panel_.setVisible(show); }

void TTrackListController::RowChanged() {
    const QModelIndex current = list_.currentIndex();
    if (current.isValid() && list_.selectionModel()->isRowSelected(current.row()) && !window_.Creating() && !building_)
        UpdateInfoPanel();
    UpdateCommandStates();
}

void TTrackListController::AttachViewEvents() {
    // A click makes the row current before it selects it: both changes count.
    selectionConnection_ = connect(list_.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        UpdateStatusCounts();
        RowChanged();
    });
    currentConnection_ = connect(list_.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                                 [this] { RowChanged(); });
}

void TTrackListController::DetachViewEvents() {
    disconnect(selectionConnection_);
    disconnect(currentConnection_);
}

int TTrackListController::FindColumn(const QString& caption) const { return model_->FindColumn(caption); }

void TTrackListController::ShowColumn(const QString& caption) {
    if (FindColumn(caption) >= 0) return;
    model_->AppendColumn(caption);
    const int column = model_->columnCount() - 1;
    list_.header()->setSectionResizeMode(column, QHeaderView::Interactive);
    list_.header()->resizeSection(column, caption == "标题" ? kTitleWidth : kColumnWidth);
}

void TTrackListController::HideColumn(const QString& caption) {
    const int column = FindColumn(caption);
    if (column >= 0) model_->RemoveColumn(column);
}

void TTrackListController::ApplyColumnVisibility(const QString& caption, bool visible) {
    if (visible) {
        ShowColumn(caption);
    } else {
        HideColumn(caption);
    }
    const TColumnDef* column = ColumnDefOf(caption);
    if (column != nullptr && column->key != nullptr)
        window_.Settings().WriteBool(std::string("column_") + column->key, visible);
}

void TTrackListController::ApplyStoredColumns() {
    ApplyColumnVisibility("标题", true);
    for (const TColumnDef& column : ColumnSet())
        if (column.key != nullptr)
            ApplyColumnVisibility(QString::fromUtf8(column.caption),
                                  window_.Settings().ReadBool(std::string("column_") + column.key, column.shownByDefault));
}

void TTrackListController::ToolButton8Click() {
    QStringList shown;
    for (const TColumnDef& column : ColumnSet())
        if (FindColumn(QString::fromUtf8(column.caption)) >= 0) shown << QString::fromUtf8(column.caption);
    TFormColumn dialog(&window_, shown);
    BeginListUpdate();
    if (dialog.exec() == QDialog::Accepted) {
        ApplyColumnVisibility("标题", true);
        for (const char* caption : {"表演者", "专集", "年份", "乐派", "大小", "码率", "采样率", "声道", "时长", "注释", "修改时间"})
            ApplyColumnVisibility(QString::fromUtf8(caption), dialog.Checked(QString::fromUtf8(caption)));
        StartViewBuild();
    }
    EndListUpdate();
}

void TTrackListController::ListView1DblClick() {
    const QModelIndex current = list_.currentIndex();
    if (!list_.hasFocus() || !current.isValid() || !list_.selectionModel()->isRowSelected(current.row())) return;
    if (TBOX* box = model_->Row(current.row()).box) {
        if (QTreeWidgetItem* node = window_.BoxTree().FindChildNodeOfSelected(box)) window_.Tree()->setCurrentItem(node);
    } else {
        window_.PlayControl().Play1Click();
    }
}

std::vector<TTrackRow> TTrackListController::SelectedRows() const {
    QModelIndexList selected = list_.selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TTrackRow> rows;
    rows.reserve(static_cast<std::size_t>(selected.size()));
    for (const QModelIndex& index : selected) rows.push_back(model_->Row(index.row()));
    return rows;
}

void TTrackListController::Rename3Click() {
    const QModelIndex current = list_.currentIndex();
    if (current.isValid()) list_.edit(current.siblingAtColumn(0));
}

void TTrackListController::SelectAll1Click() {
    list_.setFocus();
    list_.selectAll();
}

bool TTrackListController::eventFilter(QObject* watched, QEvent* event) {
    // Rows dropped on a box row move into that box; elsewhere in the list
    // they are refused.
    if (watched == list_.viewport() && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                                        event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QModelIndex row = list_.indexAt(drop->position().toPoint());
        const bool onBox =
            drop->mimeData()->hasFormat(kRowsMimeType) && row.isValid() && model_->Row(row.row()).box != nullptr;
        if (!onBox) {
            drop->ignore();
        } else if (event->type() == QEvent::Drop) {
            drop->acceptProposedAction();
            window_.Edit().ListView1DragDrop(row.row());
        } else {
            drop->acceptProposedAction();
        }
        return true;
    }
    // The right button leaves the selection to the context menu, which adds
    // the row; the view's own handling would make the row the only one.
    if (watched == list_.viewport() && (event->type() == QEvent::MouseButtonPress ||
                                        event->type() == QEvent::MouseButtonRelease ||
                                        event->type() == QEvent::MouseButtonDblClick)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::RightButton) return false;
        const QModelIndex row = list_.indexAt(mouse->position().toPoint());
        if (event->type() == QEvent::MouseButtonPress && row.isValid()) {
            list_.selectionModel()->setCurrentIndex(row, QItemSelectionModel::NoUpdate);
            list_.selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        return true;
    }
    if (watched == &list_ && event->type() == QEvent::FocusIn) UpdateCommandStates();
    if (watched == &list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space) {
            ListView1DblClick();
            return true;
        }
        if (key->key() == Qt::Key_Backspace) {
            QTreeWidgetItem* node = window_.BoxTree().SelectedNode();
            if (node != nullptr && node->parent() != nullptr) window_.Tree()->setCurrentItem(node->parent());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TTrackListController::SortRowBox(const std::string& key) {
    const int first = FirstSelectedRow();
    TBOX* box = first >= 0 ? model_->Row(first).box : nullptr;
    if (box == nullptr) return;
    {
        std::unique_lock change(window_.LibraryLock());
        box->SetSortKey(key);
    }
    if (QTreeWidgetItem* node = window_.BoxTree().FindChildNodeOfSelected(box)) window_.BoxTree().RebuildNode(node);
}

void TTrackListController::PreparePopupMenuMusic() {
    TBoxTreeController& tree = window_.BoxTree();
    QTreeWidgetItem* node = tree.SelectedNode();
    const bool favourites = tree.IsUnderFavourites(node), playlist = tree.IsUnderPlaylist(node),
               nowPlaying = tree.IsUnderNowPlaying(node);
    window_.Action("AddtoMyfavour3")->setVisible(!favourites);
    window_.Action("AddtoPlaylist1")->setVisible(!playlist);
    for (const char* name : {"Reloadtagfrommp3file1", "Savetagtomp3file1", "N17"})
        window_.Action(name)->setVisible(!nowPlaying);
    const int first = FirstSelectedRow();
    const TBOX* box = first >= 0 ? model_->Row(first).box : nullptr;
    for (const char* name : {"Sorter3", "N15", "Paste4"}) window_.Action(name)->setVisible(box != nullptr);
    window_.SetCommandEnabled("Paste4", !window_.Edit().CutItems().empty());
    for (const char* name : {"Viewpicture1", "Viewlyrics1", "N16", "Cut2", "Properties1"})
        window_.Action(name)->setVisible(box == nullptr);
    if (box != nullptr) {
        static const std::pair<const char*, const char*> sorters[] = {
            {"artist", "SortbyArtist3"}, {"year", "SortbyYear3"},      {"genre", "SortbyGenre3"},
            {"album", "SortbyAlbum3"},   {"bitrate", "SortbyBitrate4"}, {"mime", "SortbyFiletype1"}};
        const char* checked = "NotSort3";
        for (const auto& [key, name] : sorters)
            if (box->GetSortKey() == key) checked = name;
        window_.Action(checked)->setChecked(true);
    }
}

void TTrackListController::ShowContextMenu(const QPoint& position) {
    const QModelIndex row = list_.indexAt(position);
    if (!row.isValid()) return;
    // The row joins the selection; the others stay selected.
    list_.selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    PreparePopupMenuMusic();
    window_.Menu("PopupMenuMusic")->popup(list_.viewport()->mapToGlobal(position));
}
