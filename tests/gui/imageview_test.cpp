#include "media/imageview.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "mp3builder.h"
#include "tempdir.h"

namespace {

QColor ColourOf(int n) { return QColor::fromHsv(n * 40, 255, 255); }

class ImageViewTest : public ::testing::Test {
protected:
    // The values of an item of `count` pictures, written into the data
    // folder; those numbered in `missing` have no file, those in `broken` a
    // file that is no picture.
    std::string Pictures(int count, const std::set<int>& missing = {}, const std::set<int>& broken = {}) const {
        QDir().mkpath(QString::fromStdString(dir / "picture"));
        std::string values = "APIC.num=" + std::to_string(count) + "\r\n";
        for (int n = 0; n < count; ++n) {
            const std::string name = "picture/p." + std::to_string(n) + ".png";
            values += "APIC." + std::to_string(n) + ".filename=" + name + "\r\n";
            QImage image(60, 30, QImage::Format_RGB32);
            image.fill(ColourOf(n));
            if (broken.contains(n))
                mp3::WriteFile(dir / name, mp3::PngData(100));
            else if (!missing.contains(n))
                image.save(QString::fromStdString(dir / name), "PNG");
        }
        return values;
    }
    TFormImageView& Open(const std::string& values) {
        item.LoadFromText("filename=/m/a.mp3\r\n" + values);
        view = std::make_unique<TFormImageView>(nullptr);
        view->FillFromItem(item);
        view->show();
        return *view;
    }
    std::vector<QRect> Places() const {
        std::vector<QRect> places;
        for (const QLabel* picture : view->Pictures()) places.push_back(picture->geometry());
        return places;
    }

    TempDir dir;
    TMediaEnvironment env{dir.Path(), "GB18030"};
    TMP3Tag item{env};
    std::unique_ptr<TFormImageView> view;
};

} // namespace

TEST_F(ImageViewTest, FourPicturesFillTwoRowsOfThree) {
    Open(Pictures(4));
    EXPECT_EQ(view->windowTitle(), "图片查看器");
    EXPECT_EQ(Places(), (std::vector<QRect>{{10, 10, 120, 120}, {140, 10, 120, 120}, {270, 10, 120, 120},
                                            {10, 140, 120, 120}}));
    EXPECT_EQ(view->Panel()->size(), QSize(390, 260));
    EXPECT_EQ(view->ScrollBox()->widget(), view->Panel());
    // Fitted, its proportions kept.
    for (int n = 0; n < 4; ++n) {
        const QImage shown = view->Pictures()[static_cast<std::size_t>(n)]->pixmap().toImage();
        EXPECT_EQ(shown.size(), QSize(120, 60));
        EXPECT_EQ(shown.pixel(60, 30), ColourOf(n).rgb()) << n;
    }
    QPushButton* ok = view->findChild<QPushButton*>("ButtonOK");
    EXPECT_EQ(ok->text(), "确定");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(view->isVisible());
}

TEST_F(ImageViewTest, AMissingOrBrokenPictureLeavesItsPlaceEmpty) {
    for (const bool broken : {false, true}) {
        Open(broken ? Pictures(3, {}, {1}) : Pictures(3, {1}));
        EXPECT_EQ(Places(), (std::vector<QRect>{{10, 10, 120, 120}, {270, 10, 120, 120}}));
        EXPECT_EQ(view->Pictures()[1]->pixmap().toImage().pixel(60, 30), ColourOf(2).rgb());
        EXPECT_EQ(view->Panel()->size(), QSize(390, 130));
    }
}

TEST_F(ImageViewTest, NoPicturesGiveAnEmptyPanel) {
    Pictures(1);
    for (const char* values : {"APIC.num=0\r\nAPIC.0.filename=picture/p.0.png\r\n", ""}) {
        Open(values);
        EXPECT_TRUE(view->Pictures().empty()) << values;
        EXPECT_EQ(view->Panel()->size(), QSize(390, 0)) << values;
    }
}
