#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class QPainter;

// The lists and the tree draw themselves in these colours whatever the skin,
// so that rows read the same under every look.
namespace ListColours {
inline constexpr QRgb kSelection = qRgb(61, 128, 223);
inline constexpr QRgb kSelectionText = qRgb(255, 255, 255);
inline constexpr QRgb kEvenRow = qRgb(237, 243, 254);
inline constexpr QRgb kOddRow = qRgb(255, 255, 255); // also an unselected tree node
inline constexpr QRgb kText = qRgb(0, 0, 0);
inline constexpr QRgb kDivider = qRgb(217, 217, 217);
inline constexpr QRgb kTreeLines = qRgb(106, 170, 235); // connector lines and expand buttons
} // namespace ListColours

// Draws a line of text vertically centred in r, 4 pixels in from the side it
// is aligned to (horizontally centred for Qt::AlignHCenter). The text's band,
// one pixel in from either side of r, is first filled with the painter's
// brush, and the text is clipped to it. The edges are taken half-open:
// right = left + width, bottom = top + height.
void DrawCellText(QPainter& painter, const QRect& r, const QString& text, Qt::Alignment alignment);

// Draws picture index of ImageList20 at 20 by 20, centred in r; nothing for -1.
void DrawCentredImage(QPainter& painter, const QRect& r, int index);

// Draws the rows of the track list and of the information list: a fill by
// selection and row parity, dividers between the cells and texts in fixed
// colours; the first column shows a state picture and a row picture before
// its caption.
class TRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Picture indexes of ImageList20 the first column's cells give; -1 or
    // none for no picture.
    enum Role { ImageRole = Qt::UserRole + 1, StateImageRole };

    // valuesOnly: cells after the first draw only when they have text, so a
    // row shows no more cells than it has values.
    explicit TRowDelegate(bool valuesOnly, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool valuesOnly_;
};
