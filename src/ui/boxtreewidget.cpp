#include "ui/boxtreewidget.h"

#include <QHeaderView>
#include <QPainter>

#include "ui/listdrawing.h"

namespace {

constexpr int kIndentation = 23;
constexpr int kImageSize = 20;
constexpr int kPictureMargin = 2; // between the branch area and the picture
constexpr int kButtonRadius = 5;
constexpr int kButtonBar = 3; // half the length of the plus and minus bars

QColor FillOf(bool selected) { return QColor(selected ? ListColours::kSelection : ListColours::kOddRow); }

int DepthOf(QModelIndex index) {
    int depth = 0;
    for (index = index.parent(); index.isValid(); index = index.parent()) ++depth;
    return depth;
}

// The tree shows no line down to a sibling it hides.
bool HasShownSiblingBelow(const QTreeView& tree, const QModelIndex& index) {
    const int rows = tree.model()->rowCount(index.parent());
    for (int row = index.row() + 1; row < rows; ++row)
        if (!tree.isRowHidden(row, index.parent())) return true;
    return false;
}

} // namespace

TBoxTreeWidget::TBoxTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setIndentation(kIndentation);
    setIconSize(QSize(kImageSize, kImageSize));
}

void TBoxTreeWidget::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const bool selected = selectionModel()->isSelected(index);
    const QRect& row = option.rect;
    painter->save();
    painter->fillRect(row, FillOf(selected));

    const int left = header()->sectionViewportPosition(0);
    const int branchWidth = indentation() * (DepthOf(index) + (rootIsDecorated() ? 1 : 0));
    drawBranches(painter, QRect(left, row.top(), branchWidth, row.height()), index);

    const QRect picture(left + branchWidth + kPictureMargin, row.top(), iconSize().width(), row.height());
    index.data(Qt::DecorationRole)
        .value<QIcon>()
        .paint(painter, picture, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);

    const int captionLeft = picture.left() + picture.width();
    const QRect caption(captionLeft, row.top(), left + header()->sectionSize(0) - captionLeft, row.height());
    painter->setFont(option.font);
    painter->setBrush(FillOf(selected));
    painter->setPen(QColor(selected ? ListColours::kSelectionText : ListColours::kText));
    DrawCellText(*painter, caption, index.data(Qt::DisplayRole).toString(), Qt::AlignLeft);
    painter->restore();
}

void TBoxTreeWidget::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    // A root without decoration has no branch area to draw in.
    if (rect.width() < indentation()) return;
    const int x = rect.left() + rect.width() - indentation() + indentation() / 2;
    const int y = rect.top() + rect.height() / 2;
    const bool hasChildren = model()->hasChildren(index);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QColor(ListColours::kTreeLines));
    const int pictureLeft = rect.left() + rect.width() + kPictureMargin;
    painter->drawLine(hasChildren ? x + kButtonRadius : x, y, pictureLeft - 1, y);
    painter->drawLine(x, rect.top(), x, y);
    if (HasShownSiblingBelow(*this, index)) painter->drawLine(x, y, x, rect.bottom());
    int ancestorX = x - indentation();
    for (QModelIndex above = index.parent(); above.isValid() && ancestorX >= rect.left();
         above = above.parent(), ancestorX -= indentation())
        if (HasShownSiblingBelow(*this, above)) painter->drawLine(ancestorX, rect.top(), ancestorX, rect.bottom());

    if (hasChildren) {
        // Filled with the row's colour so the lines meeting at the node stop at the button.
        painter->setBrush(FillOf(selectionModel()->isSelected(index)));
        painter->drawEllipse(QPoint(x, y), kButtonRadius, kButtonRadius);
        painter->drawLine(x - kButtonBar, y, x + kButtonBar, y);
        if (!isExpanded(index)) painter->drawLine(x, y - kButtonBar, x, y + kButtonBar);
    }
    painter->restore();
}
