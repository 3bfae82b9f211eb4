#include "ui/listdrawing.h"

#include <QPainter>

#include "ui/images.h"

namespace {

constexpr int kImageSize = 20;
constexpr int kTextMargin = 4;
constexpr int kStateImageLeft = 2; // the state picture's space, from the cell's left
constexpr int kRowHeight = 22;

// A picture index held in a role; -1 where the cell holds none, as an unset
// role would otherwise read as picture 0.
int ImageIndexOf(const QModelIndex& index, int role) {
    const QVariant value = index.data(role);
    return value.isValid() ? value.toInt() : -1;
}

void DrawDivider(QPainter& painter, int x, const QRect& cell) {
    painter.setPen(QColor(ListColours::kDivider));
    painter.drawLine(x, cell.top(), x, cell.bottom());
}

} // namespace

void DrawCellText(QPainter& painter, const QRect& r, const QString& text, Qt::Alignment alignment) {
    const QFontMetrics metrics(painter.font());
    const int height = metrics.height();
    const int width = metrics.horizontalAdvance(text);
    const int right = r.left() + r.width();
    const int bottom = r.top() + r.height();
    const int top = (r.top() + bottom - height) / 2;
    int x = r.left() + kTextMargin;
    if (alignment & Qt::AlignRight) {
        x = right - width - kTextMargin;
    } else if (alignment & Qt::AlignHCenter) {
        x = r.left() + (r.width() - width) / 2;
    }
    const QRect clip(r.left() + 1, top, r.width() - 2, height);
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.fillRect(clip, painter.brush());
    painter.drawText(QPoint(x, top + metrics.ascent()), text);
    painter.restore();
}

void DrawCentredImage(QPainter& painter, const QRect& r, int index) {
    if (index < 0) return;
    const QRect area(r.left() + (r.width() - kImageSize) / 2, r.top() + (r.height() - kImageSize) / 2, kImageSize,
                     kImageSize);
    ImageList20(index).paint(&painter, area);
}

TRowDelegate::TRowDelegate(bool valuesOnly, QObject* parent) : QStyledItemDelegate(parent), valuesOnly_(valuesOnly) {}

void TRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (valuesOnly_ && index.column() > 0 && text.isEmpty()) return;

    const bool selected = option.state & QStyle::State_Selected;
    const QColor fill(selected ? ListColours::kSelection
                               : (index.row() % 2 == 0 ? ListColours::kEvenRow : ListColours::kOddRow));
    const QColor textColour(selected ? ListColours::kSelectionText : ListColours::kText);
    const QRect& cell = option.rect;

    painter->save();
    painter->setFont(option.font);
    painter->fillRect(cell.adjusted(0, 1, 0, -1), fill);
    painter->setBrush(fill);
    Qt::Alignment alignment = Qt::AlignLeft;
    QRect textArea = cell;
    if (index.column() == 0) {
        const QRect stateArea(cell.left() + kStateImageLeft, cell.top(), kImageSize, cell.height());
        DrawCentredImage(*painter, stateArea, ImageIndexOf(index, StateImageRole));
        const QRect imageArea(stateArea.left() + kImageSize, cell.top(), kImageSize, cell.height());
        DrawCentredImage(*painter, imageArea, ImageIndexOf(index, ImageRole));
        DrawDivider(*painter, imageArea.left(), cell);
        textArea.setLeft(imageArea.left() + kImageSize);
    } else {
        DrawDivider(*painter, cell.left(), cell);
        if (const QVariant value = index.data(Qt::TextAlignmentRole); value.isValid())
            alignment = Qt::Alignment(value.toInt());
    }
    painter->setPen(textColour);
    DrawCellText(*painter, textArea, text, alignment);
    painter->restore();
}

QSize TRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    int width = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 2 * kTextMargin;
    if (index.column() == 0) width += kStateImageLeft + 2 * kImageSize;
    return {width, kRowHeight};
}
