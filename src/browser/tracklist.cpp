#include "browser/tracklist.h"

#include <QDateTime>
#include <QLocale>
#include <QMimeData>
#include <algorithm>
#include <numeric>
#include <variant>

#include "core/box.h"
#include "core/helpers.h"
#include "core/valuelist.h"
#include "media/mobj.h"
#include "ui/images.h"
#include "ui/listdrawing.h"

const std::vector<TColumnDef>& ColumnSet() {
    static const std::vector<TColumnDef> columns = {
        {"标题", nullptr, true, false},       {"表演者", "Artist", true, false},
        {"专集", "Album", true, false},       {"年份", "Year", true, false},
        {"乐派", "Genre", true, false},       {"大小", "Size", true, true},
        {"时长", "Duration", true, true},     {"码率", "Bitrate", true, true},
        {"采样率", "Samplerate", true, true}, {"声道", "Channel", false, false},
        {"注释", "Comment", false, false},    {"修改时间", "Date Modified", false, false},
    };
    return columns;
}

const TColumnDef* ColumnDefOf(const QString& caption) {
    for (const TColumnDef& column : ColumnSet())
        if (caption == QString::fromUtf8(column.caption)) return &column;
    return nullptr;
}

namespace {

// A DOS date and time stamp as the date and time it stands for.
QString DateModifiedText(int32_t stamp) {
    const auto value = static_cast<uint32_t>(stamp);
    const QDate date(static_cast<int>(value >> 25) + 1980, static_cast<int>((value >> 21) & 15),
                     static_cast<int>((value >> 16) & 31));
    const QTime time(static_cast<int>((value >> 11) & 31), static_cast<int>((value >> 5) & 63),
                     static_cast<int>(value & 31) * 2);
    if (!date.isValid() || !time.isValid()) return {};
    const QLocale locale;
    return locale.toString(date, QLocale::ShortFormat) + " " + locale.toString(time, QLocale::LongFormat);
}

int64_t NumberOf(const QString& caption, TMObj& item) {
    if (caption == "大小") return item.GetFileSize();
    if (caption == "时长") return item.GetDuration();
    if (caption == "码率") return item.GetBitrate();
    if (caption == "采样率") return item.GetFrequency();
    return item.GetDateModified();
}

} // namespace

QString ColumnValueText(const QString& caption, TMObj& item) {
    auto text = [](const std::string& value) { return QString::fromStdString(value); };
    if (caption == "标题") return text(item.GetTitle());
    if (caption == "表演者") return text(item.GetArtist());
    if (caption == "专集") return text(item.GetAlbum());
    if (caption == "年份") return text(item.GetYear());
    if (caption == "乐派") return text(item.GenreOrDefault());
    if (caption == "大小") return text(SizeText(static_cast<int32_t>(item.GetFileSize())));
    if (caption == "时长") return text(DurationText(item.GetDuration()));
    if (caption == "码率") return text(BitrateText(item.GetBitrate()));
    if (caption == "采样率") return text(FrequencyText(item.GetFrequency()));
    if (caption == "声道") return text(item.GetChannel());
    if (caption == "注释") return text(item.GetComment());
    if (caption == "修改时间") return DateModifiedText(item.GetDateModified());
    return {};
}

int TTrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTrackListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : captions_.size(); }

Qt::ItemFlags TTrackListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    return index.column() == 0 ? flags | Qt::ItemIsEditable : flags;
}

bool TTrackListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0) return false;
    const QString text = value.toString();
    if (text == data(index, Qt::EditRole).toString()) return false;
    emit RowEdited(index.row(), text);
    return true;
}

QStringList TTrackListModel::mimeTypes() const { return {kRowsMimeType}; }

QMimeData* TTrackListModel::mimeData(const QModelIndexList&) const {
    // The rows dragged are the list's selection; the data only names the kind.
    auto* data = new QMimeData;
    data->setData(kRowsMimeType, {});
    return data;
}

Qt::DropActions TTrackListModel::supportedDragActions() const { return Qt::MoveAction; }

QVariant TTrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TTrackRow& row = Row(index.row());
    const QString& caption = captions_[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (row.box != nullptr) return index.column() == 0 ? QString::fromStdString(row.box->GetName()) : QString();
        return ColumnValueText(caption, *row.item);
    case Qt::TextAlignmentRole: {
        const TColumnDef* column = ColumnDefOf(caption);
        return static_cast<int>((column != nullptr && column->rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
    }
    case Qt::DecorationRole:
        if (index.column() != 0) return {};
        return ImageList20(row.box != nullptr ? Images::kBox : Images::kMediaItem);
    case TRowDelegate::ImageRole:
        return index.column() == 0 ? (row.box != nullptr ? Images::kBox : Images::kMediaItem) : -1;
    case TRowDelegate::StateImageRole:
        return index.column() == 0 && index.row() == playingRow_ ? Images::kNowPlaying : -1;
    default:
        return {};
    }
}

QVariant TTrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= captions_.size()) return {};
    if (role == Qt::DisplayRole) return captions_[section];
    if (role == Qt::DecorationRole && headerImages_[static_cast<std::size_t>(section)] >= 0)
        return ImageList20(headerImages_[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole) return data(index(0, section), role);
    return {};
}

void TTrackListModel::Clear() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    playingRow_ = -1;
    endResetModel();
}

void TTrackListModel::Append(const TTrackRows& rows) {
    if (rows.isEmpty()) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin(), rows.end());
    // A list being filled marks the playing item's row when it arrives.
    if (playingRow_ < 0 && playing_ != nullptr) {
        const auto found = std::find_if(rows.begin(), rows.end(), [this](const TTrackRow& row) { return row.item == playing_; });
        if (found != rows.end()) playingRow_ = first + static_cast<int>(found - rows.begin());
    }
    endInsertRows();
}

void TTrackListModel::AppendColumn(const QString& caption) {
    const int column = captions_.size();
    beginInsertColumns({}, column, column);
    captions_ << caption;
    flags_.push_back(false);
    headerImages_.push_back(-1);
    endInsertColumns();
}

void TTrackListModel::RemoveColumn(int column) {
    beginRemoveColumns({}, column, column);
    captions_.removeAt(column);
    flags_.erase(flags_.begin() + column);
    headerImages_.erase(headerImages_.begin() + column);
    endRemoveColumns();
}

void TTrackListModel::SetPlayingItem(const TMObj* item) {
    const int before = playingRow_;
    playing_ = item;
    playingRow_ = FindTrackListRow(item);
    for (const int row : {before, playingRow_})
        if (row >= 0) emit dataChanged(index(row, 0), index(row, 0), {TRowDelegate::StateImageRole});
}

int TTrackListModel::FindTrackListRow(const TMObj* item) const {
    if (item == nullptr) return -1;
    const auto found = std::find_if(rows_.begin(), rows_.end(), [item](const TTrackRow& row) { return row.item == item; });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

void TTrackListModel::ClickColumn(int column) {
    std::fill(headerImages_.begin(), headerImages_.end(), -1);
    headerImages_[static_cast<std::size_t>(column)] = DirectionFlag(column) ? Images::kPrevious : Images::kNext;
    SetDirectionFlag(column, !DirectionFlag(column));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    Sort(column);
}

void TTrackListModel::Sort(int column) {
    if (column < 0 || column >= columnCount()) return;
    const bool d = DirectionFlag(column);
    const QString& caption = captions_[column];
    const TColumnDef* def = ColumnDefOf(caption);
    const bool numeric = column > 0 && ((def != nullptr && def->rightAligned) || caption == "修改时间");
    const bool counted = def != nullptr && (def->rightAligned || caption == "修改时间");

    // Each row's key is made once: a text (folded when compared) or a number.
    using Key = std::variant<std::string, int64_t>;
    std::vector<Key> keys(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const TTrackRow& row = rows_[i];
        if (row.box != nullptr) {
            keys[i] = row.box->GetName();
        } else if (numeric) {
            keys[i] = counted ? NumberOf(caption, *row.item) : int64_t{0};
        } else {
            keys[i] = ColumnValueText(caption, *row.item).toStdString();
        }
    }
    std::vector<std::size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    const auto less = [&](std::size_t a, std::size_t b) {
        const bool boxA = rows_[a].box != nullptr, boxB = rows_[b].box != nullptr;
        if (boxA != boxB) return d ? boxB : boxA; // boxes first while the flag is false
        if (boxA || !numeric) {
            const int c = CompareIgnoringAsciiCase(std::get<std::string>(keys[a]), std::get<std::string>(keys[b]));
            return d ? c > 0 : c < 0;
        }
        // Numbers: largest first while the flag is false.
        const int64_t x = std::get<int64_t>(keys[a]), y = std::get<int64_t>(keys[b]);
        return d ? x < y : x > y;
    };
    std::stable_sort(order.begin(), order.end(), less);
    Rearrange(order, QAbstractItemModel::VerticalSortHint);
}

void TTrackListModel::RemoveRows(const std::function<bool(const TTrackRow&)>& gone) {
    std::vector<std::size_t> kept;
    kept.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (!gone(rows_[i])) kept.push_back(i);
    if (kept.size() != rows_.size()) Rearrange(kept, QAbstractItemModel::NoLayoutChangeHint);
}

void TTrackListModel::Rearrange(const std::vector<std::size_t>& order, QAbstractItemModel::LayoutChangeHint hint) {
    emit layoutAboutToBeChanged({}, hint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newRow(rows_.size(), -1);
    for (std::size_t i = 0; i < order.size(); ++i) newRow[order[i]] = static_cast<int>(i);
    std::vector<TTrackRow> arranged(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) arranged[i] = rows_[order[i]];
    rows_.swap(arranged);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const int row = newRow[static_cast<std::size_t>(old.row())];
        after << (row >= 0 ? index(row, old.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    playingRow_ = FindTrackListRow(playing_);
    emit layoutChanged({}, hint);
}
