#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <vector>

#include "browser/trackrow.h"

// The columns the track list can show.
struct TColumnDef {
    const char* caption;
    const char* key; // the name in "column_<key>"; none for the title, always shown
    bool shownByDefault;
    bool rightAligned;
};
const std::vector<TColumnDef>& ColumnSet();
const TColumnDef* ColumnDefOf(const QString& caption);

// What a drag of track list rows carries: only its kind, the rows being the
// list's selection.
inline constexpr const char* kRowsMimeType = "application/x-tunecrate-rows";

// The text a column shows for an item; empty for an unknown caption.
QString ColumnValueText(const QString& caption, TMObj& item);

// The rows of the track list: the child boxes of the listed box, then its
// items. A row holds only what it shows; the texts are made when they are
// painted, so that 100,000 rows cost little memory.
class TTrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edited caption is told, not stored: the editing commands decide.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    void Clear();
    void Append(const TTrackRows& rows);
    // The rows for which gone holds leave the list; the others keep their order.
    void RemoveRows(const std::function<bool(const TTrackRow&)>& gone);
    const TTrackRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    const QStringList& Captions() const { return captions_; }
    int FindColumn(const QString& caption) const { return static_cast<int>(captions_.indexOf(caption)); }
    void AppendColumn(const QString& caption);
    void RemoveColumn(int column);

    // A header click: arrows on the clicked column alone, its direction
    // flag inverted, the rows sorted by it.
    void ClickColumn(int column);
    // Sorts by a column with its current direction flag.
    void Sort(int column);
    bool DirectionFlag(int column) const { return flags_[static_cast<std::size_t>(column)]; }
    void SetDirectionFlag(int column, bool flag) { flags_[static_cast<std::size_t>(column)] = flag; }

    // The first row of the item being played shows the playing mark; a
    // row that loses it shows none.
    void SetPlayingItem(const TMObj* item);
    int PlayingRow() const { return playingRow_; }
    // The first row, from the top, that shows the item; -1 for none.
    int FindTrackListRow(const TMObj* item) const;

signals:
    void RowEdited(int row, const QString& text);

private:
    // The rows at these old positions, in this order, become the list.
    void Rearrange(const std::vector<std::size_t>& order, QAbstractItemModel::LayoutChangeHint hint);

    QStringList captions_;
    std::vector<bool> flags_;
    std::vector<int> headerImages_;
    std::vector<TTrackRow> rows_;
    const TMObj* playing_ = nullptr;
    int playingRow_ = -1;
};
