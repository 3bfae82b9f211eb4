#include "browser/infopanel.h"
#include "ui/listdrawing.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "tempdir.h"

namespace {

const QString kDefaultPicture = TCRATE_SOURCE_DIR "/resources/tcrate.jpg";

const std::string kTrack = "filename=/m/a.mp3\r\nTIT2=Song\r\nWOAR=http://x/\r\nUSLT=a\\nb\r\nTC_BR=128\r\n"
                           "TC_SIZE=4000000\r\nfrequency=44100\r\nchannel=Stereo\r\n";
const std::string kMissingPicture = "APIC.num=1\r\nAPIC.0.filename=picture/x.jpg\r\n";

class InfoPanelTest : public ::testing::Test {
protected:
    // A fresh item of the data folder from the text.
    TMP3Tag& Item(const std::string& text) {
        items_.push_back(std::make_unique<TMP3Tag>(env_));
        items_.back()->LoadFromText(text);
        return *items_.back();
    }

    // Each row as "caption|value|identifier|picture", the identifier from the hidden column.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        const QTreeWidget& list = *panel_.ListViewInfo();
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QTreeWidgetItem& row = *list.topLevelItem(i);
            rows.push_back((row.text(0) + "|" + row.text(1) + "|" + row.text(2) + "|" +
                            QString::number(row.data(0, TRowDelegate::ImageRole).toInt()))
                               .toStdString());
        }
        return rows;
    }

    QTreeWidgetItem* RowCalled(const QString& caption) const {
        const auto found = panel_.ListViewInfo()->findItems(caption, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }

    void DoubleClick(QTreeWidgetItem* row) { emit panel_.ListViewInfo()->itemDoubleClicked(row, 0); }

    // What the image shows of a picture: fitted into the image, its proportions kept.
    QImage Fitted(const QString& path) const {
        return QPixmap(path)
            .scaled(panel_.Image()->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .toImage();
    }
    QImage Shown() const { return panel_.Image()->pixmap().toImage(); }

    TempDir dir_;
    TMediaEnvironment env_{dir_.Path(), "GB18030"};
    std::vector<std::unique_ptr<TMP3Tag>> items_;
    TInfoPanel panel_{kDefaultPicture};
};

TEST_F(InfoPanelTest, ListIsAReadOnlyReportWithAHiddenIdentifierColumn) {
    const QTreeWidget& list = *panel_.ListViewInfo();
    EXPECT_EQ(list.objectName(), "ListViewInfo");
    EXPECT_EQ(panel_.Image()->objectName(), "Image");
    EXPECT_EQ(list.columnCount(), 3);
    EXPECT_TRUE(list.isColumnHidden(2));
    EXPECT_EQ(list.columnWidth(0), 160);
    EXPECT_EQ(list.columnWidth(1), 300);
    EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list.iconSize(), QSize(20, 20));
}

// Rows and picture

TEST_F(InfoPanelTest, RowsGiveTagValuesInFrameOrderThenStreamPictureAndFile) {
    TMP3Tag& item = Item(kTrack + kMissingPicture);
    panel_.UpdateInfoPanel(&item);

    EXPECT_EQ(panel_.CurrentItem(), &item);
    const std::vector<std::string> expected = {
        "Title/songname/content description|Song|TIT2|21",
        "Unsynchronised lyric/text transcription|a\\nb|USLT|24",
        "Official artist/performer webpage|http://x/|WOAR|23",
        "时长|04:10||25",
        "码率|128 kbps||25",
        "采样率|44.100 kHz||25",
        "声道|Stereo||25",
        "大小|3.81 MB||25",
        "图片|双击鼠标查看图片||22",
        "文件|/m/a.mp3||28",
    };
    EXPECT_EQ(Rows(), expected);
    for (int i = 0; i < panel_.ListViewInfo()->topLevelItemCount(); ++i)
        EXPECT_FALSE(panel_.ListViewInfo()->topLevelItem(i)->icon(0).isNull()) << i;
    // The picture file is missing.
    EXPECT_EQ(Shown().size(), QSize(105, 105));
    EXPECT_EQ(Shown(), Fitted(kDefaultPicture));
}

TEST_F(InfoPanelTest, ItemWithoutPictureHasNoPictureRowAndShowsTheDefaultPicture) {
    panel_.UpdateInfoPanel(&Item(kTrack));

    EXPECT_EQ(RowCalled("图片"), nullptr);
    EXPECT_EQ(Rows().back(), "文件|/m/a.mp3||28");
    EXPECT_EQ(Shown(), Fitted(kDefaultPicture));
}

TEST_F(InfoPanelTest, ExistingPictureIsShownFitted) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir_ / "picture")));
    QImage red(60, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString(dir_ / "picture/red.png")));
    panel_.UpdateInfoPanel(&Item(kTrack + "APIC.num=1\r\nAPIC.0.filename=picture/red.png\r\n"));

    const QImage shown = Shown();
    EXPECT_EQ(shown.width(), 105);
    EXPECT_LT(shown.height(), 60);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
    EXPECT_NE(RowCalled("图片"), nullptr);
}

TEST_F(InfoPanelTest, UnreadableDefaultPictureShowsNothing) {
    TInfoPanel panel(QString::fromStdString(dir_ / "none.jpg"));
    panel.UpdateInfoPanel(&Item(kTrack + kMissingPicture));

    EXPECT_TRUE(panel.Image()->pixmap().isNull());
    EXPECT_EQ(panel.ListViewInfo()->topLevelItemCount(), 10);
}

TEST_F(InfoPanelTest, RowsFollowTheCurrentItem) {
    panel_.UpdateInfoPanel(&Item(kTrack + kMissingPicture));
    TMP3Tag& second = Item("filename=/m/b.mp3\r\nTIT2=Other\r\n");
    panel_.UpdateInfoPanel(&second);

    EXPECT_EQ(panel_.CurrentItem(), &second);
    EXPECT_EQ(panel_.ListViewInfo()->topLevelItemCount(), 7);
    EXPECT_EQ(Rows().front(), "Title/songname/content description|Other|TIT2|21");

    panel_.UpdateInfoPanel(nullptr);
    EXPECT_EQ(panel_.CurrentItem(), nullptr);
    EXPECT_EQ(panel_.ListViewInfo()->topLevelItemCount(), 0);
}

// Double clicks

TEST_F(InfoPanelTest, DoubleClickOnPictureRowOrPictureAsksForThePicture) {
    panel_.resize(600, 107);
    panel_.show();
    panel_.UpdateInfoPanel(&Item(kTrack + kMissingPicture));
    QSignalSpy picture(&panel_, &TInfoPanel::PictureActivated);

    QTreeWidget& list = *panel_.ListViewInfo();
    list.scrollToItem(RowCalled("图片"));
    const QPoint where = list.visualItemRect(RowCalled("图片")).center();
    // A double click as the system delivers it: a click first, on which the view records the row.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
    EXPECT_EQ(picture.count(), 1);

    QTest::mouseDClick(panel_.Image(), Qt::LeftButton);
    EXPECT_EQ(picture.count(), 2);
}

TEST_F(InfoPanelTest, DoubleClickOnLyricsRowGivesCaptionAndTextWithLineBreaks) {
    panel_.UpdateInfoPanel(&Item(kTrack));
    QSignalSpy lyrics(&panel_, &TInfoPanel::LyricsActivated);

    DoubleClick(RowCalled("Unsynchronised lyric/text transcription"));
    ASSERT_EQ(lyrics.count(), 1);
    EXPECT_EQ(lyrics.at(0).at(0).toString(), "Unsynchronised lyric/text transcription");
    EXPECT_EQ(lyrics.at(0).at(1).toString(), "a\nb");

    // Once the item is forgotten its rows no longer reach it.
    panel_.ForgetCurrentItem();
    DoubleClick(RowCalled("Unsynchronised lyric/text transcription"));
    EXPECT_EQ(lyrics.count(), 1);
}

TEST_F(InfoPanelTest, DoubleClickOnTextOrStreamRowsDoesNothing) {
    panel_.UpdateInfoPanel(&Item(kTrack + kMissingPicture));
    QSignalSpy picture(&panel_, &TInfoPanel::PictureActivated);
    QSignalSpy lyrics(&panel_, &TInfoPanel::LyricsActivated);

    DoubleClick(RowCalled("Title/songname/content description"));
    DoubleClick(RowCalled("时长"));

    EXPECT_EQ(picture.count(), 0);
    EXPECT_EQ(lyrics.count(), 0);
}

TEST_F(InfoPanelTest, WebAddressesOpenPercentEncodedAndFilesAsTheyAre) {
    panel_.UpdateInfoPanel(&Item("filename=/m/a b.mp3\r\nWOAR=http://x/a b/歌#1\r\n"));

    EXPECT_EQ(TInfoPanel::AddressOfRow(*RowCalled("Official artist/performer webpage")),
              "http://x/a%20b/%E6%AD%8C%231");
    EXPECT_EQ(TInfoPanel::AddressOfRow(*RowCalled("文件")), "/m/a b.mp3");
    EXPECT_EQ(TInfoPanel::AddressOfRow(*RowCalled("时长")), "");
}

// Resizing

TEST_F(InfoPanelTest, ImageStaysSquareAndFollowsThePanelHeight) {
    panel_.show();
    panel_.UpdateInfoPanel(&Item(kTrack));

    panel_.resize(600, 107);
    EXPECT_EQ(panel_.Image()->size(), QSize(105, 105));

    panel_.resize(700, 150);
    EXPECT_EQ(panel_.Image()->width(), panel_.Image()->height());
    EXPECT_EQ(panel_.Image()->height(), 148);
    EXPECT_EQ(Shown(), Fitted(kDefaultPicture));
    EXPECT_EQ(Shown().size(), QSize(148, 148));
    EXPECT_EQ(panel_.ListViewInfo()->geometry().left(), panel_.Image()->geometry().right() + 2);
}

TEST_F(InfoPanelTest, ValueColumnFillsTheListWidth) {
    panel_.show();
    QTreeWidget& list = *panel_.ListViewInfo();

    panel_.resize(600, 107);
    EXPECT_EQ(list.width(), 600 - 105 - 3);
    EXPECT_EQ(list.columnWidth(1), list.width() - 160 - 20);

    panel_.resize(900, 107);
    EXPECT_EQ(list.columnWidth(1), list.width() - 160 - 20);

    list.setColumnWidth(0, 100);
    list.resize(400, 80);
    EXPECT_EQ(list.columnWidth(1), 400 - 100 - 20);
}

} // namespace
