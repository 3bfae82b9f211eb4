#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "ui/boxtreewidget.h"
#include "ui/images.h"
#include "ui/listdrawing.h"
#include "ui/skin.h"

namespace {

constexpr QRgb kBackground = qRgb(128, 128, 128);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0);

// Without antialiasing every text pixel has the pen's colour exactly.
QFont SharpFont() {
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QImage Grab(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QImage BlankImage(const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBackground);
    return image;
}

// The pixels of a colour within an area, and the rectangle they span.
struct TPixels {
    int count = 0;
    QRect bounds;
};
TPixels PixelsOf(const QImage& image, QRgb colour, const QRect& area) {
    TPixels pixels;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) == colour) {
                ++pixels.count;
                pixels.bounds |= QRect(x, y, 1, 1);
            }
    return pixels;
}
int CountOf(const QImage& image, QRgb colour, const QRect& area) { return PixelsOf(image, colour, area).count; }

// Colours compare as "r,g,b", so that a failure reads as one.
std::string Rgb(QRgb colour) {
    return std::to_string(qRed(colour)) + "," + std::to_string(qGreen(colour)) + "," + std::to_string(qBlue(colour));
}
#define EXPECT_PIXEL(image, x, y, colour) \
    EXPECT_EQ(Rgb((image).pixel((x), (y))), Rgb(colour)) << "at " << (x) << "," << (y)

// The ink of text drawn plainly with its top left at a point.
TPixels PlainInk(const QString& text, const QPoint& topLeft) {
    QImage plain = BlankImage({topLeft.x() + 300, topLeft.y() + 40});
    QPainter painter(&plain);
    painter.setFont(SharpFont());
    painter.setPen(QColor(kBlack));
    painter.drawText(topLeft + QPoint(0, QFontMetrics(SharpFont()).ascent()), text);
    painter.end();
    return PixelsOf(plain, kBlack, plain.rect());
}

// Draws text into r on a grey image, with the even-row fill as the brush.
struct TCellText {
    QRect r;
    QString text;
    QImage image = BlankImage({220, 44});
    QFontMetrics metrics{SharpFont()};
    int top = 0;

    TCellText(const QRect& rect, const QString& cellText, Qt::Alignment alignment) : r(rect), text(cellText) {
        top = (r.top() + r.top() + r.height() - metrics.height()) / 2;
        QPainter painter(&image);
        painter.setFont(SharpFont());
        painter.setBrush(QColor(ListColours::kEvenRow));
        painter.setPen(QColor(kBlack));
        DrawCellText(painter, r, text, alignment);
    }
    QRect Band() const { return QRect(r.left() + 1, top, r.width() - 2, metrics.height()); }

    // The band is filled and the text's ink lies where drawing it at x puts it.
    void ExpectTextAt(int x) const {
        const QRect band = Band();
        const int bandPixels = band.width() * band.height();
        EXPECT_EQ(CountOf(image, ListColours::kEvenRow, band) + CountOf(image, kBlack, band), bandPixels);
        EXPECT_EQ(CountOf(image, kBackground, image.rect()), image.width() * image.height() - bandPixels);

        const TPixels ink = PixelsOf(image, kBlack, image.rect());
        const TPixels plain = PlainInk(text, {x, top});
        ASSERT_GT(ink.count, 0);
        EXPECT_EQ(ink.bounds, plain.bounds);
        EXPECT_EQ(ink.count, plain.count);
        EXPECT_TRUE(band.contains(ink.bounds)) << ink.bounds.top() << ".." << ink.bounds.bottom();
    }
};

} // namespace

TEST(CellText, LeftAlignedStartsFourPixelsInAndIsCentredVertically) {
    const TCellText cell(QRect(20, 5, 150, 31), "HHH 12", Qt::AlignLeft);
    EXPECT_EQ(cell.top, (5 + 36 - cell.metrics.height()) / 2);
    cell.ExpectTextAt(20 + 4);
}

TEST(CellText, RightAlignedEndsFourPixelsBeforeTheRightEdge) {
    const TCellText cell(QRect(20, 5, 150, 30), "HHH 12", Qt::AlignRight | Qt::AlignVCenter);
    cell.ExpectTextAt(20 + 150 - cell.metrics.horizontalAdvance("HHH 12") - 4);
}

TEST(CellText, CentredSharesTheSpareWidth) {
    const TCellText cell(QRect(20, 5, 151, 30), "HHH 12", Qt::AlignHCenter);
    cell.ExpectTextAt(20 + (151 - cell.metrics.horizontalAdvance("HHH 12")) / 2);
}

TEST(CellText, TextWiderThanTheCellStaysInItsBand) {
    const TCellText cell(QRect(20, 5, 40, 30), "HHHHHHHHHHHHHHHH", Qt::AlignLeft);
    const TPixels ink = PixelsOf(cell.image, kBlack, cell.image.rect());
    ASSERT_GT(ink.count, 0);
    EXPECT_TRUE(cell.Band().contains(ink.bounds));
    EXPECT_EQ(ink.bounds.right(), cell.Band().right());
}

TEST(CentredImage, MinusOneDrawsNothing) {
    QImage image = BlankImage({60, 50});
    QPainter painter(&image);
    DrawCentredImage(painter, QRect(10, 10, 40, 30), -1);
    painter.end();
    EXPECT_EQ(CountOf(image, kBackground, image.rect()), 60 * 50);
}

TEST(CentredImage, PictureSitsTwentyByTwentyInTheMiddle) {
    QImage image = BlankImage({60, 50});
    QPainter painter(&image);
    DrawCentredImage(painter, QRect(10, 10, 40, 30), Images::kBox);
    painter.end();
    const QRect square(20, 15, 20, 20);
    EXPECT_LT(CountOf(image, kBackground, square), 400);
    EXPECT_EQ(CountOf(image, kBackground, image.rect()) - CountOf(image, kBackground, square), 60 * 50 - 400);
}

namespace {

// A list of three rows and three columns drawn by TRowDelegate.
class RowDrawing : public ::testing::Test {
protected:
    void Build(bool valuesOnly) {
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                model.setItem(row, column, new QStandardItem(QString("H%1%2").arg(row).arg(column)));
        view.setItemDelegate(new TRowDelegate(valuesOnly, &view));
        view.setModel(&model);
        view.setRootIsDecorated(false);
        view.setHeaderHidden(true);
        view.setFrameShape(QFrame::NoFrame);
        view.setFont(SharpFont());
        view.resize(300, 120);
        view.header()->setStretchLastSection(false);
        view.header()->resizeSection(0, 110);
        view.header()->resizeSection(1, 80);
        view.header()->resizeSection(2, 80);
    }
    QRect Cell(int row, int column) const { return view.visualRect(model.index(row, column)); }
    QImage Grab() { return ::Grab(*view.viewport()); }
    // A point of the cell right of its text.
    static QPoint Blank(const QRect& cell) { return {cell.right() - 3, cell.center().y()}; }

    QStandardItemModel model;
    QTreeView view;
};

} // namespace

TEST_F(RowDrawing, RowsAre22PixelsHigh) {
    Build(false);
    EXPECT_EQ(Cell(0, 0), QRect(0, 0, 110, 22));
    EXPECT_EQ(Cell(2, 1), QRect(110, 44, 80, 22));
}

TEST_F(RowDrawing, EvenRowsAreLightBlueOddRowsWhiteWithBlackText) {
    Build(false);
    const QImage image = Grab();
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const QRect cell = Cell(row, column);
            const QRgb fill = row % 2 == 0 ? ListColours::kEvenRow : ListColours::kOddRow;
            EXPECT_PIXEL(image, Blank(cell).x(), cell.top() + 1, fill);
            EXPECT_PIXEL(image, Blank(cell).x(), cell.bottom() - 1, fill);
            EXPECT_GT(CountOf(image, kBlack, cell), 10) << row << "," << column;
        }
}

TEST_F(RowDrawing, FillLeavesAPixelAboveAndBelow) {
    Build(false);
    const QImage image = Grab();
    const QRgb background = image.pixel(5, image.height() - 2);
    const QRect cell = Cell(2, 1);
    EXPECT_PIXEL(image, Blank(cell).x(), cell.top(), background);
    EXPECT_PIXEL(image, Blank(cell).x(), cell.bottom(), background);
    EXPECT_NE(background, ListColours::kEvenRow);
}

TEST_F(RowDrawing, SelectedRowIsBlueWithWhiteText) {
    Build(false);
    view.selectionModel()->select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QImage image = Grab();
    for (int column = 0; column < 3; ++column) {
        const QRect cell = Cell(1, column);
        EXPECT_PIXEL(image, Blank(cell).x(), Blank(cell).y(), ListColours::kSelection);
        const QRect text = cell.adjusted(2, 1, -1, -1);
        EXPECT_GT(CountOf(image, kWhite, text), 10) << column;
        EXPECT_EQ(CountOf(image, kBlack, text), 0) << column;
    }
    EXPECT_PIXEL(image, Blank(Cell(0, 1)).x(), Blank(Cell(0, 1)).y(), ListColours::kEvenRow);
}

TEST_F(RowDrawing, DividersRunDownTheCellsLeftEdgesAndBeforeTheRowPicture) {
    Build(false);
    const QImage image = Grab();
    for (int row = 0; row < 3; ++row) {
        for (int column = 1; column < 3; ++column) {
            const QRect cell = Cell(row, column);
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                EXPECT_PIXEL(image, cell.left(), y, ListColours::kDivider);
        }
        const QRect first = Cell(row, 0);
        EXPECT_PIXEL(image, first.left() + 22, first.center().y(), ListColours::kDivider);
        EXPECT_NE(image.pixel(first.left(), first.center().y()), ListColours::kDivider);
    }
}

TEST_F(RowDrawing, FirstColumnShowsStateAndRowPicturesBeforeTheCaption) {
    Build(false);
    model.item(0, 0)->setData(Images::kNowPlaying, TRowDelegate::StateImageRole);
    model.item(0, 0)->setData(Images::kMediaItem, TRowDelegate::ImageRole);
    model.item(1, 0)->setData(-1, TRowDelegate::StateImageRole);
    model.item(1, 0)->setData(Images::kBox, TRowDelegate::ImageRole);
    const QImage image = Grab();

    const QRect state(2, 1, 20, 20);
    const QRect picture(23, 1, 19, 20); // right of the divider
    EXPECT_LT(CountOf(image, ListColours::kEvenRow, state), 400);
    EXPECT_LT(CountOf(image, ListColours::kEvenRow, picture), 380);
    EXPECT_EQ(CountOf(image, ListColours::kOddRow, state.translated(0, 22)), 400);
    EXPECT_LT(CountOf(image, ListColours::kOddRow, picture.translated(0, 22)), 380);
    // Row 2 has no pictures: only its caption and the divider are drawn in the first cell.
    const QRect third(0, 45, 110, 20);
    EXPECT_EQ(CountOf(image, ListColours::kEvenRow, third) + CountOf(image, kBlack, third) +
                  CountOf(image, ListColours::kDivider, third),
              110 * 20);

    EXPECT_EQ(PixelsOf(image, kBlack, Cell(0, 0)).bounds.left(), PlainInk("H00", {42 + 4, 0}).bounds.left());
}

TEST_F(RowDrawing, TextFollowsTheColumnsAlignment) {
    Build(false);
    model.item(0, 1)->setData(int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    model.item(0, 2)->setData(int(Qt::AlignHCenter), Qt::TextAlignmentRole);
    const QImage image = Grab();
    const auto inkLeft = [&image, this](int row, int column) {
        return PixelsOf(image, kBlack, Cell(row, column)).bounds.left();
    };
    const auto plainLeft = [](const QString& text, int x) { return PlainInk(text, {x, 0}).bounds.left(); };
    const QFontMetrics metrics(SharpFont());

    EXPECT_EQ(inkLeft(0, 1), plainLeft("H01", 110 + 80 - metrics.horizontalAdvance("H01") - 4));
    EXPECT_EQ(inkLeft(0, 2), plainLeft("H02", 190 + (80 - metrics.horizontalAdvance("H02")) / 2));
    EXPECT_EQ(inkLeft(1, 1), plainLeft("H11", 110 + 4));
}

TEST_F(RowDrawing, ValuesOnlyLeavesCellsWithoutTextUndrawn) {
    Build(true);
    for (int row = 0; row < 3; ++row) model.item(row, 2)->setText(QString());
    model.item(1, 1)->setText(QString());
    const QImage image = Grab();
    const QRgb background = image.pixel(5, image.height() - 2);
    for (int row = 0; row < 3; ++row) {
        const QRect cell = Cell(row, 2);
        EXPECT_EQ(CountOf(image, background, cell), cell.width() * cell.height()) << row;
    }
    EXPECT_EQ(CountOf(image, background, Cell(1, 1)), 80 * 22);
    EXPECT_PIXEL(image, Blank(Cell(0, 1)).x(), Blank(Cell(0, 1)).y(), ListColours::kEvenRow);
    EXPECT_PIXEL(image, Cell(0, 1).left(), Cell(0, 1).top(), ListColours::kDivider);
    // The first column is drawn whatever its text.
    model.item(1, 0)->setText(QString());
    EXPECT_PIXEL(Grab(), Blank(Cell(1, 0)).x(), Blank(Cell(1, 0)).y(), ListColours::kOddRow);
}

TEST_F(RowDrawing, WithoutValuesOnlyEmptyCellsAreFilled) {
    Build(false);
    model.item(0, 2)->setText(QString());
    EXPECT_EQ(CountOf(Grab(), ListColours::kEvenRow, Cell(0, 2).adjusted(1, 1, 0, -1)), 79 * 20);
}

namespace {

// Root (expanded): Alpha (with a child, collapsed) and Beta; then Second.
// Indentation 23: a root's lines run at x 11, its children's at 34.
class TreeDrawing : public ::testing::Test {
protected:
    TreeDrawing() {
        tree.setHeaderHidden(true);
        tree.setFrameShape(QFrame::NoFrame);
        tree.setFont(SharpFont());
        tree.resize(240, 160);
        root = new QTreeWidgetItem(&tree, QStringList("Root"));
        root->setIcon(0, ImageList20(Images::kAllItemsRoot));
        alpha = new QTreeWidgetItem(root, QStringList("Alpha"));
        beta = new QTreeWidgetItem(root, QStringList("Beta"));
        new QTreeWidgetItem(alpha, QStringList("Alpha 1"));
        second = new QTreeWidgetItem(&tree, QStringList("Second"));
        for (QTreeWidgetItem* node : {alpha, beta}) {
            node->setIcon(0, ImageList20(Images::kBox));
            node->setFlags(node->flags() | Qt::ItemIsEditable);
        }
        root->setExpanded(true);
    }
    QRect Row(QTreeWidgetItem* node) const { return tree.visualItemRect(node); }
    static int Middle(const QRect& row) { return row.top() + row.height() / 2; }
    QImage Grab() { return ::Grab(*tree.viewport()); }

    TBoxTreeWidget tree;
    QTreeWidgetItem* root;
    QTreeWidgetItem* alpha;
    QTreeWidgetItem* beta;
    QTreeWidgetItem* second;
};

constexpr QRgb kLines = ListColours::kTreeLines;

} // namespace

TEST_F(TreeDrawing, IndentsByTwentyThreeWithTwentyPixelPictures) {
    EXPECT_EQ(tree.indentation(), 23);
    EXPECT_EQ(tree.iconSize(), QSize(20, 20));
    EXPECT_EQ(Row(alpha).left() - Row(root).left(), 23);
}

TEST_F(TreeDrawing, ConnectorsRunFromTheLevelsMiddleToThePicture) {
    const QImage image = Grab();
    const QRect row = Row(beta);
    const int y = Middle(row);
    for (int x = 34; x <= 23 + 23 + 1; ++x) EXPECT_PIXEL(image, x, y, kLines);
    EXPECT_NE(image.pixel(23 + 23 + 2 + 10, y), kLines); // the picture
    for (int up = row.top(); up <= y; ++up) EXPECT_PIXEL(image, 34, up, kLines);
    // Beta is the last child: nothing below it.
    EXPECT_PIXEL(image, 34, row.bottom(), ListColours::kOddRow);
    // The root continues to Second past its children.
    EXPECT_PIXEL(image, 11, row.top(), kLines);
    EXPECT_PIXEL(image, 11, row.bottom(), kLines);
    // Alpha has Beta below it: its line goes on down.
    EXPECT_PIXEL(image, 34, Row(alpha).bottom(), kLines);
}

TEST_F(TreeDrawing, LastRootHasNoLineDownAndNoAncestorLines) {
    const QImage image = Grab();
    const QRect row = Row(second);
    const int y = Middle(row);
    EXPECT_PIXEL(image, 11, row.top(), kLines);
    EXPECT_PIXEL(image, 11, y, kLines);
    EXPECT_PIXEL(image, 20, y, kLines);
    EXPECT_PIXEL(image, 11, row.bottom(), ListColours::kOddRow);
    EXPECT_PIXEL(image, 11, y + 2, ListColours::kOddRow);
}

TEST_F(TreeDrawing, CollapsedNodeWithChildrenShowsAPlusInACircle) {
    const QImage image = Grab();
    const int y = Middle(Row(alpha));
    for (int d = -3; d <= 3; ++d) {
        EXPECT_PIXEL(image, 34 + d, y, kLines);
        EXPECT_PIXEL(image, 34, y + d, kLines);
    }
    // Inside the circle, off the bars, the row's fill; the circle itself.
    EXPECT_PIXEL(image, 34 - 2, y - 2, ListColours::kOddRow);
    EXPECT_PIXEL(image, 34, y - 5, kLines);
    EXPECT_PIXEL(image, 34 + 5, y, kLines);
    EXPECT_PIXEL(image, 34 - 5, y, kLines);
    EXPECT_PIXEL(image, 34, y + 5, kLines);
    EXPECT_PIXEL(image, 34, y - 4, ListColours::kOddRow);
}

TEST_F(TreeDrawing, ExpandedNodeShowsAMinus) {
    const QImage image = Grab();
    const int y = Middle(Row(root));
    for (int d = -3; d <= 3; ++d) EXPECT_PIXEL(image, 11 + d, y, kLines);
    for (int d : {-4, -3, -1, 1, 3, 4}) EXPECT_PIXEL(image, 11, y + d, ListColours::kOddRow);

    alpha->setExpanded(true);
    const QImage expanded = Grab();
    const int alphaY = Middle(Row(alpha));
    EXPECT_PIXEL(expanded, 34, alphaY - 2, ListColours::kOddRow);
    EXPECT_PIXEL(expanded, 34, alphaY + 2, ListColours::kOddRow);
    EXPECT_PIXEL(expanded, 34 + 2, alphaY, kLines);
    // Alpha 1 hangs off Alpha's level, with the root's and Alpha's lines beside it.
    const QRect child = Row(alpha->child(0));
    EXPECT_PIXEL(expanded, 57, Middle(child), kLines);
    EXPECT_PIXEL(expanded, 11, child.top(), kLines);
    EXPECT_PIXEL(expanded, 34, child.top(), kLines);
}

TEST_F(TreeDrawing, SelectedNodeFillsItsWholeRowWithWhiteCaption) {
    tree.setCurrentItem(beta);
    const QImage image = Grab();
    const QRect row = Row(beta);
    const QRect whole(0, row.top(), tree.viewport()->width(), row.height());
    EXPECT_PIXEL(image, 2, Middle(row), ListColours::kSelection);
    EXPECT_PIXEL(image, whole.right() - 2, Middle(row), ListColours::kSelection);
    EXPECT_PIXEL(image, 40, Middle(row), kLines);
    const QRect caption(row.left() + 22, row.top(), 60, row.height());
    EXPECT_GT(CountOf(image, kWhite, caption), 10);
    EXPECT_EQ(CountOf(image, kBlack, whole), 0);
    // Other rows stay white with black captions.
    EXPECT_PIXEL(image, whole.right() - 2, Middle(Row(alpha)), ListColours::kOddRow);
    EXPECT_GT(CountOf(image, kBlack, Row(alpha)), 10);
}

TEST_F(TreeDrawing, KeyboardAndEditingStillWork) {
    tree.show();
    tree.setCurrentItem(root);
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(tree.currentItem(), alpha);
    QTest::keyClick(&tree, Qt::Key_Right);
    EXPECT_TRUE(alpha->isExpanded());
    tree.editItem(beta);
    auto* editor = tree.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Beta");
}

namespace {

QString SkinFile(const QString& name) { return QString(TCRATE_SOURCE_DIR "/resources/Skins/%1/skin.ini").arg(name); }

} // namespace

TEST(NewSkins, LoadWithTheirOwnNamesAndColours) {
    const auto clouds = LoadSkin(SkinFile("Clouds"));
    const auto macX = LoadSkin(SkinFile("MacX"));
    const auto wistler = LoadSkin(SkinFile("Wistler"));
    ASSERT_TRUE(clouds && macX && wistler);
    EXPECT_EQ(macX->name, "MacX");
    EXPECT_EQ(wistler->name, "Wistler");
    for (const TSkin* other : {&*clouds, &*wistler}) {
        EXPECT_NE(macX->windowBackground, other->windowBackground);
        EXPECT_NE(macX->listSelection, other->listSelection);
        EXPECT_NE(macX->treeLines, other->treeLines);
    }
    EXPECT_NE(wistler->windowBackground, clouds->windowBackground);
    EXPECT_NE(wistler->listSelection, clouds->listSelection);
}

TEST(NewSkins, EveryPictureTheirStyleSheetsNameIsInTheirFolder) {
    for (const QString name : {"MacX", "Wistler"}) {
        const auto skin = LoadSkin(SkinFile(name));
        ASSERT_TRUE(skin.has_value()) << name.toStdString();
        EXPECT_FALSE(skin->styleSheet.contains("@SKIN@"));
        const QString folder = QString(TCRATE_SOURCE_DIR "/resources/Skins/") + name + "/";
        int pictures = 0;
        for (const auto& match : QRegularExpression(R"re(url\("([^"]+)"\))re").globalMatch(skin->styleSheet)) {
            EXPECT_TRUE(match.captured(1).startsWith(folder) && QFile::exists(match.captured(1)))
                << match.captured(1).toStdString();
            ++pictures;
        }
        EXPECT_GT(pictures, 0) << name.toStdString();
    }
}
