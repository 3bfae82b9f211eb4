#include "media/properties.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/fileio.h"
#include "media/itemwindows.h"
#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "media/picturefile.h"
#include "media/wmaobj.h"
#include "mp3builder.h"
#include "scripteddialogs.h"
#include "tempdir.h"

namespace {

const QString kDefaultPicture = TCRATE_SOURCE_DIR "/resources/tcrate.jpg";
const std::string kAudioFile = "/m/a.mp3";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Scripted dialogs that also keep the filter of each file dialog.
class TFilterDialogs : public TScriptedDialogs {
public:
    QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override {
        filters << filter;
        return TScriptedDialogs::OpenFiles(parent, title, filter);
    }
    QStringList filters;
};

// What a thumbnail shows of a picture: fitted into 103 x 103, its proportions kept.
QImage Fitted(const QString& path) {
    return QPixmap(path).scaled(103, 103, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage();
}
QImage Shown(const TJHImage& thumbnail) { return thumbnail.Image()->pixmap().toImage(); }

class PropertiesTest : public ::testing::Test {
protected:
    TFormProperties& Open(const std::string& values, const QString& defaultPicture = kDefaultPicture) {
        item.LoadFromText(values);
        form = std::make_unique<TFormProperties>(dialogs, defaultPicture, nullptr);
        form->FillFromItem(item);
        form->show();
        return *form;
    }
    QPushButton* Button(const char* name) const { return form->findChild<QPushButton*>(name); }
    void Click(const char* name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }
    // The caption in front of a field.
    static QString Caption(QWidget* field) {
        const auto* form = static_cast<QFormLayout*>(field->parentWidget()->layout());
        return static_cast<QLabel*>(form->labelForField(field))->text();
    }
    TJHImage& Thumbnail(std::size_t i) const { return *form->Thumbnails().at(i); }
    std::vector<QPoint> Positions() const {
        std::vector<QPoint> positions;
        for (const TJHImage* thumbnail : form->Thumbnails()) positions.push_back(thumbnail->pos());
        return positions;
    }
    // Which of Load, View and Delete are enabled, as three letters ("LVD", "L--").
    std::string Buttons() const {
        std::string letters;
        for (const char* name : {"ButtonLoad", "ButtonView", "ButtonDelete"})
            letters += Button(name)->isEnabled() ? name[6] : '-';
        return letters;
    }
    void ShowPage(QWidget* widget) const {
        for (int i = 0; i < form->Pages()->count(); ++i)
            if (form->Pages()->widget(i)->isAncestorOf(widget)) form->Pages()->setCurrentIndex(i);
    }
    void Type(QLineEdit* edit, const QString& text) const {
        ShowPage(edit);
        edit->clear();
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; })) {
            QTest::keyClicks(edit, text);
        } else {
            // Chinese arrives from the input method, committed whole.
            QInputMethodEvent input;
            input.setCommitString(text);
            QApplication::sendEvent(edit, &input);
        }
    }
    // A real 60 x 30 picture of the colour under the data folder; its full path.
    std::string WritePicture(const std::string& name, const char* format, const QColor& color = Qt::red) const {
        const QString path = Q(dir / name);
        QDir().mkpath(QFileInfo(path).path());
        QImage image(60, 30, QImage::Format_RGB32);
        image.fill(color);
        EXPECT_TRUE(image.save(path, format));
        return path.toStdString();
    }
    static std::string Contents(const std::string& path) {
        std::string bytes;
        ReadWholeFile(path, bytes);
        return bytes;
    }

    TempDir dir;
    TMediaEnvironment env{dir.Path(), "GB18030"};
    TMP3Tag item{env};
    TFilterDialogs dialogs;
    std::unique_ptr<TFormProperties> form;
};

} // namespace

// The window and its fields

TEST_F(PropertiesTest, WindowHasItsCaptionButtonsGroupsPagesAndGenreList) {
    Open("filename=" + kAudioFile + "\r\n");
    EXPECT_EQ(form->windowTitle(), "媒体文件信息");
    EXPECT_EQ(Button("ButtonOK")->text() + Button("ButtonCancel")->text(), "确定取消");
    QStringList groups, pages;
    for (const QGroupBox* box : form->findChildren<QGroupBox*>()) groups << box->title();
    EXPECT_EQ(groups, QStringList({"Tag info", "Mpeg Info"}));
    for (int i = 0; i < form->Pages()->count(); ++i) pages << form->Pages()->tabText(i);
    EXPECT_EQ(pages, QStringList({"Main", "Credits", "URLs", "MusicMatch", "Lyrics", "Pictures"}));
    EXPECT_EQ(form->Pages()->currentIndex(), 0);
    EXPECT_TRUE(form->Pages()->widget(4)->isAncestorOf(form->Lyrics()));
    EXPECT_EQ(form->Lyrics()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form->Lyrics()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form->Lyrics()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Button("ButtonOpenLyrics")->text(), "Open");
    for (const char* name : {"ButtonLoad", "ButtonView", "ButtonDelete", "ButtonImageSearch"})
        EXPECT_TRUE(form->Pages()->widget(5)->isAncestorOf(Button(name))) << name;
    EXPECT_TRUE(Button("ButtonImageSearch")->text().contains("Google"));

    QComboBox& genres = *form->GenreList();
    EXPECT_TRUE(form->Pages()->widget(0)->isAncestorOf(&genres));
    EXPECT_EQ(Caption(&genres), "Genre");
    EXPECT_FALSE(genres.isEditable());
    ASSERT_EQ(genres.count(), 127);
    EXPECT_EQ(genres.itemText(0) + genres.itemText(12) + genres.itemText(125) + genres.itemText(126),
              "BluesOtherDance HallOther");
}

TEST_F(PropertiesTest, SelectPageOpensPicturesLyricsOrTheMainPage) {
    for (const auto& [page, shown] : {std::pair{"IMAGE", "Pictures"}, {"LYRICS", "Lyrics"}, {"MAIN", "Main"},
                                      {"image", "Main"}, {"", "Main"}}) {
        Open("filename=" + kAudioFile + "\r\n");
        form->Pages()->setCurrentIndex(2);
        form->SelectPage(page);
        EXPECT_EQ(form->Pages()->tabText(form->Pages()->currentIndex()), shown) << page;
    }
}

TEST_F(PropertiesTest, EveryFieldShowsItsValueAndOkStoresWhatWasTyped) {
    struct Case {
        int page;
        const char* label;
        std::string key, before, after;
    };
    const Case cases[] = {
        {0, "Title", "TIT2", "Song", "新歌"},
        {0, "Index", "TRCK", "3/9", "4/9"},
        {0, "Artist", "TPE1", "Band", "张学友"},
        {0, "Original Artist", "TOPE", "Orig", "Orig 2"},
        {0, "Album", "TALB", "Album", "Album 2"},
        {0, "Year", "TYER", "1999", "2001"},
        {0, "BPM", "TBPM", "120", "96"},
        {0, "Label", "TPUB", "Pub", "Pub 2"},
        {1, "Composer", "TCOM", "Comp", "Comp 2"},
        {1, "Lyricist", "TEXT", "Writer", ""},
        {1, "Orchestra", "TPE2", "Orch", "Orch 2"},
        {1, "Conductor", "TPE3", "Cond", "Cond 2"},
        {1, "Copyright", "TCOP", "(c)", "(c) 2"},
        {1, "Encoded by", "TENC", "Enc", "Enc 2"},
        {2, "Audio URL", "WOAF", "http://a/", "http://a2/"},
        {2, "Artist URL", "WOAR", "http://b/", "http://b2/"},
        {2, "General URL", "WXXX", "http://c/", "http://c2/"},
        {3, "Tempo", "SYTC", "fast", "slow"},
        {3, "Situation", "EQU2", "party", "work"},
        {3, "Mood", "TMOO", "happy", "sad"},
    };
    std::string values = "filename=" + kAudioFile + "\r\nmodified=false\r\nTCON=Rock\r\nUSLT=la\\nla\r\n";
    for (const Case& c : cases) values += c.key + "=" + c.before + "\r\n";
    Open(values);
    for (const Case& c : cases) {
        QLineEdit* edit = form->Field(c.label);
        ASSERT_NE(edit, nullptr) << c.label;
        EXPECT_TRUE(form->Pages()->widget(c.page)->isAncestorOf(edit)) << c.label;
        EXPECT_EQ(Caption(edit), c.label);
        EXPECT_EQ(edit->text(), Q(c.before)) << c.label;
    }
    EXPECT_EQ(form->Field("Genre"), nullptr);
    EXPECT_EQ(form->GenreList()->currentText(), "Rock");
    EXPECT_EQ(form->Lyrics()->toPlainText(), "la\nla");

    for (const Case& c : cases) Type(form->Field(c.label), Q(c.after));
    form->GenreList()->setCurrentIndex(form->GenreList()->findText("Jazz"));
    ShowPage(form->Lyrics());
    form->Lyrics()->clear();
    QTest::keyClicks(form->Lyrics(), "one");
    QTest::keyClick(form->Lyrics(), Qt::Key_Return);
    QTest::keyClicks(form->Lyrics(), "two");
    Click("ButtonOK");

    EXPECT_EQ(form->result(), 1);
    EXPECT_FALSE(form->isVisible());
    for (const Case& c : cases) EXPECT_EQ(item.GetValue(c.key), c.after) << c.label;
    EXPECT_FALSE(item.Values().Has("TEXT")); // an empty field deletes its key
    EXPECT_EQ(item.GetValue("TCON"), "Jazz");
    EXPECT_EQ(item.GetValue("USLT"), "one\\ntwo");
    EXPECT_TRUE(item.IsModified());
}

TEST_F(PropertiesTest, AnItemWithoutTitleShowsItsFileNameAndOkStoresIt) {
    Open("filename=" + kAudioFile + "\r\n");
    EXPECT_EQ(form->Field("Title")->text(), "a.mp3");
    Click("ButtonOK");
    EXPECT_EQ(item.GetValue("TIT2"), "a.mp3");
}

TEST_F(PropertiesTest, OkWithoutChangeMarksTheItemModifiedAndCancelOrCloseChangesNothing) {
    const std::string values = "filename=" + kAudioFile + "\r\nmodified=false\r\nTIT2=Song\r\nTCON=Rock\r\n";
    Open(values);
    Click("ButtonOK");
    EXPECT_EQ(form->result(), 1);
    EXPECT_TRUE(item.IsModified());
    EXPECT_EQ(item.GetTitle(), "Song");

    for (const bool close : {false, true}) {
        Open(values);
        Type(form->Field("Title"), "Other");
        if (close)
            form->close();
        else
            Click("ButtonCancel");
        EXPECT_EQ(form->result(), 2) << close;
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(item.GetText(), values) << close;
    }
}

TEST_F(PropertiesTest, GenreShownAndKept) {
    struct Case {
        std::string stored; // empty: no genre at all
        QString shown;
        int count;
    };
    for (const Case& c : {Case{"", "Blues", 127}, Case{"Rock", "Rock", 127}, Case{"Other", "Other", 127},
                          Case{"rock", "rock", 128}, Case{"Nu Metal", "Nu Metal", 128}}) {
        Open("filename=" + kAudioFile + "\r\n" + (c.stored.empty() ? "" : "TCON=" + c.stored + "\r\n"));
        EXPECT_EQ(form->GenreList()->currentText(), c.shown) << c.stored;
        EXPECT_EQ(form->GenreList()->count(), c.count) << c.stored;
        EXPECT_EQ(form->GenreList()->currentIndex(), form->GenreList()->findText(c.shown)) << c.stored;
        Click("ButtonOK");
        EXPECT_EQ(Q(item.GetValue("TCON")), c.shown) << c.stored;
    }
}

TEST_F(PropertiesTest, MpegInfoTexts) {
    const std::pair<std::string, QString> cases[] = {
        {"mpeg_level=3\r\nmpeg_layer=1\r\nchannel=Joint stereo\r\nfrequency=44100\r\nTC_BR=128\r\n",
         "MPEG 1.0|Layer 3|Joint stereo|44100 HZ|128 kbps"},
        {"mpeg_level=2\r\nmpeg_layer=2\r\nchannel=Stereo\r\nfrequency=22050\r\nTC_BR=64\r\n",
         "MPEG 2.0|Layer 2|Stereo|22050 HZ|64 kbps"},
        {"mpeg_level=0\r\nmpeg_layer=3\r\n", "MPEG 2.5|Layer 1||0 HZ|0 kbps"},
        {"mpeg_level=1\r\nmpeg_layer=0\r\n", "Reserved|Reserved||0 HZ|0 kbps"},
        {"", "Reserved|Reserved||0 HZ|0 kbps"},
    };
    for (const auto& [values, shown] : cases) {
        Open("filename=" + kAudioFile + "\r\n" + values);
        QStringList texts;
        for (const char* name : {"LabelVersion", "LabelLayer", "LabelChannel", "LabelFrequency", "LabelBitrate"})
            texts << form->findChild<QLabel*>(name)->text();
        EXPECT_EQ(texts.join('|'), shown) << values;
    }
}

// Lyrics

TEST_F(PropertiesTest, LyricsAreCutAtBackslashNTrimmedAndStoredBack) {
    struct Case {
        std::string stored;
        QString shown;
        std::string storedBack;
    };
    const Case cases[] = {
        {"a\\n\\nb", "a\n\nb", "a\\n\\nb"},
        {" a \\n\tb\\n  ", "a\nb", "a\\nb"},
        {"\\n\\na", "\n\na", "a"},
        {"a\\n\\n", "a\n", "a\\n"},
        {"x\\,y", "x\ny", "x\\ny"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        Open("filename=" + kAudioFile + "\r\nUSLT=" + c.stored + "\r\n");
        EXPECT_EQ(form->Lyrics()->toPlainText(), c.shown) << c.stored;
        Click("ButtonOK");
        EXPECT_EQ(item.GetValue("USLT"), c.storedBack) << c.stored;
    }
}

TEST_F(PropertiesTest, OpenReplacesTheLyricsByTheFileLines) {
    const std::string file = dir / "lyrics.txt";
    mp3::WriteFile(file, "\xEF\xBB\xBFone\r\ntwo\n\n\xC4\xE3\xBA\xC3\n"); // a UTF-8 mark, then a GB18030 line
    Open("filename=" + kAudioFile + "\r\nUSLT=old\r\n");
    ShowPage(form->Lyrics());

    Click("ButtonOpenLyrics"); // cancelled
    EXPECT_EQ(form->Lyrics()->toPlainText(), "old");

    dialogs.openFilesAnswers.enqueue({Q(file)});
    Click("ButtonOpenLyrics");
    EXPECT_EQ(form->Lyrics()->toPlainText(), "one\ntwo\n\n你好");
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::OpenFiles), QStringList({"Open Lyrics File", "Open Lyrics File"}));
    EXPECT_EQ(dialogs.filters.last(), "Lyrics file(*.txt)|*.txt");
    EXPECT_TRUE(dialogs.Texts(TScriptedDialogs::Kind::Error).isEmpty());
    Click("ButtonOK");
    EXPECT_EQ(item.GetValue("USLT"), "one\\ntwo\\n\\n你好");
}

TEST_F(PropertiesTest, ALyricsFileThatCannotBeReadIsAnErrorAndLeavesTheTextEmpty) {
    Open("filename=" + kAudioFile + "\r\nUSLT=old\r\n");
    dialogs.openFilesAnswers.enqueue({Q(dir / "gone.txt")});
    Click("ButtonOpenLyrics");
    EXPECT_EQ(form->Lyrics()->toPlainText(), "");
    const QStringList errors = dialogs.Texts(TScriptedDialogs::Kind::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("gone.txt"));
}

// Pictures

TEST_F(PropertiesTest, PicturesOfTheItemGetThumbnailsThenTheEmptySlot) {
    const std::string png = WritePicture("picture/p.0.png", "PNG");
    const std::string jpeg = WritePicture("picture/p.2.jpg", "JPG", Qt::blue);
    Open("filename=" + kAudioFile + "\r\nAPIC.num=3\r\nAPIC.0.filename=picture/p.0.png\r\n"
         "APIC.1.filename=picture/gone.jpg\r\nAPIC.2.filename=picture/p.2.jpg\r\n");
    ASSERT_EQ(form->Thumbnails().size(), 3u);
    const std::tuple<QString, QString, QString> expected[] = {
        {Q(png), ".png", Q(png)}, {Q(jpeg), ".jpg", Q(jpeg)}, {"", "", kDefaultPicture}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& [file, type, picture] = expected[i];
        EXPECT_EQ(Thumbnail(i).FileName(), file);
        EXPECT_EQ(Thumbnail(i).MimeType(), type);
        EXPECT_EQ(Shown(Thumbnail(i)), Fitted(picture)) << i;
        EXPECT_EQ(Thumbnail(i).size(), QSize(105, 105));
        EXPECT_EQ(Thumbnail(i).Image()->geometry(), QRect(1, 1, 103, 103));
        EXPECT_FALSE(Thumbnail(i).Focused());
    }
    EXPECT_EQ(Positions(), (std::vector<QPoint>{{10, 10}, {125, 10}, {10, 125}}));
    EXPECT_EQ(form->Grid()->size(), QSize(230, 230));
    EXPECT_EQ(form->Selected(), nullptr);
    EXPECT_EQ(Buttons(), "---");
}

TEST_F(PropertiesTest, ClickingAThumbnailOrItsPictureSelectsIt) {
    WritePicture("picture/p.0.png", "PNG");
    Open("filename=" + kAudioFile + "\r\nAPIC.num=1\r\nAPIC.0.filename=picture/p.0.png\r\n");
    form->SelectPage("IMAGE");
    QTest::mouseClick(&Thumbnail(0), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(form->Selected(), &Thumbnail(0));
    EXPECT_TRUE(Thumbnail(0).Focused());
    EXPECT_EQ(Thumbnail(0).frameShadow(), QFrame::Raised);
    EXPECT_EQ(Buttons(), "LVD");

    // On the picture, through the window as a user's click arrives.
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, Thumbnail(1).mapTo(form.get(), QPoint(50, 50)));
    EXPECT_EQ(form->Selected(), &Thumbnail(1));
    EXPECT_FALSE(Thumbnail(0).Focused());
    EXPECT_EQ(Thumbnail(0).frameShape(), QFrame::NoFrame);
    EXPECT_TRUE(Thumbnail(1).Focused());
    EXPECT_EQ(Buttons(), "L--");
}

TEST_F(PropertiesTest, DeletingTheFirstOfTwoPicturesSavesTheOtherAsNumberZeroWithTheOldTypeAndDescription) {
    const std::string first = PictureFileName(kAudioFile, 0, ".jpg"), second = PictureFileName(kAudioFile, 1, ".jpg");
    WritePicture(first, "JPG");
    const std::string secondPath = WritePicture(second, "JPG", Qt::blue);
    const std::string secondBytes = Contents(secondPath);
    Open("filename=" + kAudioFile + "\r\nAPIC.num=2\r\nAPIC.0.mimetype=image/jpeg\r\nAPIC.0.pictype=3\r\n"
         "APIC.0.description=Front\r\nAPIC.0.filename=" + first + "\r\nAPIC.1.mimetype=image/jpeg\r\n"
         "APIC.1.pictype=4\r\nAPIC.1.description=Back\r\nAPIC.1.filename=" + second + "\r\n");
    form->SelectPage("IMAGE");
    QTest::mouseClick(&Thumbnail(0), Qt::LeftButton);
    Click("ButtonDelete");

    ASSERT_EQ(form->Thumbnails().size(), 2u);
    EXPECT_EQ(Thumbnail(0).FileName(), Q(secondPath));
    EXPECT_EQ(Positions(), (std::vector<QPoint>{{10, 10}, {125, 10}}));
    EXPECT_EQ(form->Grid()->size(), QSize(230, 115));
    EXPECT_EQ(form->Selected(), nullptr);
    EXPECT_EQ(Buttons(), "---");

    Click("ButtonOK");
    EXPECT_EQ(item.GetValue("APIC.num"), "1");
    EXPECT_EQ(item.GetValue("APIC.0.filename"), first);
    EXPECT_TRUE(first.ends_with(".0.jpg"));
    EXPECT_EQ(Contents(dir / first), secondBytes);
    EXPECT_EQ(item.GetValue("APIC.0.mimetype"), ".jpg");
    EXPECT_EQ(item.GetValue("APIC.0.pictype"), "3");
    EXPECT_EQ(item.GetValue("APIC.0.description"), "Front");
}

TEST_F(PropertiesTest, LoadFillsTheEmptySlotAddsAnotherAndOkSavesThePicture) {
    struct Case {
        const char* format;
        std::string source, extension;
        bool doubleClick;
    };
    for (const Case& c : {Case{"JPG", "in/cover.jpg", ".jpg", false}, Case{"PNG", "in/cover.png", ".png", true}}) {
        const std::string source = WritePicture(c.source, c.format);
        Open("filename=" + kAudioFile + "\r\nmodified=false\r\n");
        form->SelectPage("IMAGE");
        dialogs.filters.clear();

        QTest::mouseClick(&Thumbnail(0), Qt::LeftButton);
        Click("ButtonLoad"); // cancelled: nothing changes
        EXPECT_EQ(form->Thumbnails().size(), 1u);

        dialogs.openFilesAnswers.enqueue({Q(source)});
        if (c.doubleClick)
            QTest::mouseDClick(&Thumbnail(0), Qt::LeftButton);
        else
            Click("ButtonLoad");
        ASSERT_EQ(form->Thumbnails().size(), 2u) << c.format;
        EXPECT_EQ(form->Selected(), &Thumbnail(0));
        EXPECT_EQ(Thumbnail(0).MimeType(), Q(c.extension));
        EXPECT_EQ(Shown(Thumbnail(0)), Fitted(Q(source)));
        EXPECT_EQ(Thumbnail(1).FileName(), "");
        EXPECT_EQ(Positions(), (std::vector<QPoint>{{10, 10}, {125, 10}}));
        EXPECT_EQ(form->Grid()->size(), QSize(230, 115));
        EXPECT_EQ(Buttons(), "LVD");
        EXPECT_EQ(dialogs.filters.last(), "JPEG File(*.jpg)|*.jpg|PNG File(*.png)|*.png");
        EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::OpenFiles).last(), "Open Picture File");

        // Another into the new slot starts the second row.
        dialogs.openFilesAnswers.enqueue({Q(source)});
        QTest::mouseClick(&Thumbnail(1), Qt::LeftButton);
        Click("ButtonLoad");
        EXPECT_EQ(Positions(), (std::vector<QPoint>{{10, 10}, {125, 10}, {10, 125}}));
        EXPECT_EQ(form->Grid()->size(), QSize(230, 230));

        Click("ButtonOK");
        EXPECT_EQ(item.GetValue("APIC.num"), "2");
        for (int n = 0; n < 2; ++n) {
            const std::string key = "APIC." + std::to_string(n);
            const std::string name = PictureFileName(kAudioFile, n, c.extension);
            EXPECT_EQ(item.GetValue(key + ".mimetype"), c.extension);
            EXPECT_EQ(item.GetValue(key + ".filename"), name);
            EXPECT_EQ(Contents(dir / name), Contents(source)) << name;
        }
        EXPECT_TRUE(item.IsModified());
    }
}

TEST_F(PropertiesTest, LoadOnAPictureReplacesIt) {
    const std::string old = PictureFileName(kAudioFile, 0, ".jpg");
    WritePicture(old, "JPG");
    const std::string source = WritePicture("in/new.png", "PNG", Qt::green);
    Open("filename=" + kAudioFile + "\r\nAPIC.num=1\r\nAPIC.0.filename=" + old + "\r\nAPIC.0.pictype=3\r\n");
    form->SelectPage("IMAGE");
    QTest::mouseClick(&Thumbnail(0), Qt::LeftButton);
    dialogs.openFilesAnswers.enqueue({Q(source)});
    Click("ButtonLoad");
    EXPECT_EQ(form->Thumbnails().size(), 2u);
    Click("ButtonOK");
    EXPECT_EQ(item.GetValue("APIC.num"), "1");
    EXPECT_EQ(item.GetValue("APIC.0.filename"), PictureFileName(kAudioFile, 0, ".png"));
    EXPECT_EQ(item.GetValue("APIC.0.mimetype"), ".png");
    EXPECT_EQ(item.GetValue("APIC.0.pictype"), "3");
    EXPECT_EQ(Contents(dir / PictureFileName(kAudioFile, 0, ".png")), Contents(source));
}

TEST_F(PropertiesTest, PicturesUntouchedKeepTheirKeys) {
    const std::string values = "filename=" + kAudioFile + "\r\nTCON=Rock\r\nAPIC.num=2\r\nAPIC.0.filename=picture/"
                               "gone.jpg\r\nAPIC.0.mimetype=image/jpeg\r\n";
    Open(values);
    Click("ButtonOK");
    EXPECT_EQ(item.GetValue("APIC.num"), "2");
    EXPECT_EQ(item.GetValue("APIC.0.filename"), "picture/gone.jpg");
    EXPECT_EQ(item.GetValue("APIC.0.mimetype"), "image/jpeg");
}

TEST_F(PropertiesTest, APictureThatCannotBeShownGetsTheDefaultAndNoDefaultLeavesItBlank) {
    QDir().mkpath(Q(dir / "in"));
    mp3::WriteFile(dir / "in/bad.jpg", mp3::JpegData(200));
    const std::string values = "filename=" + kAudioFile + "\r\nAPIC.num=1\r\nAPIC.0.filename=in/bad.jpg\r\n";
    Open(values);
    EXPECT_EQ(Thumbnail(0).MimeType(), ".jpg");
    EXPECT_EQ(Shown(Thumbnail(0)), Fitted(kDefaultPicture));

    Open(values, Q(dir / "none/tcrate.jpg"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(Thumbnail(0).Image()->pixmap().isNull());
    EXPECT_TRUE(Thumbnail(1).Image()->pixmap().isNull());

    // What cannot be shown is still saved as it came.
    form->SelectPage("IMAGE");
    QTest::mouseClick(&Thumbnail(0), Qt::LeftButton);
    Click("ButtonDelete");
    dialogs.openFilesAnswers.enqueue({Q(dir / "in/bad.jpg")});
    QTest::mouseClick(&Thumbnail(0), Qt::LeftButton);
    Click("ButtonLoad");
    Click("ButtonOK");
    EXPECT_EQ(Contents(dir / PictureFileName(kAudioFile, 0, ".jpg")), mp3::JpegData(200));
}

TEST_F(PropertiesTest, ImageSearchAddressOfTheArtist) {
    const std::pair<QString, QString> cases[] = {
        {"AC/DC", "https://www.google.com/images?q=AC/DC&ie=UTF-8"},
        {"Ann Lee", "https://www.google.com/images?q=Ann%20Lee&ie=UTF-8"},
        {"张", "https://www.google.com/images?q=%E5%BC%A0&ie=UTF-8"},
    };
    for (const auto& [artist, address] : cases) EXPECT_EQ(TFormProperties::ImageSearchAddress(artist), address);
}

// The thumbnail

TEST(PropertiesThumbnailTest, MimeTypeIsTheExtensionOfTheFileName) {
    const QPixmap none;
    TJHImage image(none, nullptr);
    EXPECT_EQ(image.MimeType(), "");
    for (const auto& [file, type] : {std::pair{"/a/cover.jpg", ".jpg"}, {"/a/cover.JPG", ".JPG"},
                                     {"/a/x.tar.png", ".png"}, {"/a.d/cover", ""}}) {
        image.SetFileName(file);
        EXPECT_EQ(image.MimeType(), type) << file;
    }
}

TEST(PropertiesThumbnailTest, WithMouseEventPointingFocusesAndLeavingUnfocuses) {
    const QPixmap none;
    TJHImage image(none, nullptr);
    image.show();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    EXPECT_FALSE(image.MouseEvent());
    QApplication::sendEvent(&image, &enter);
    EXPECT_FALSE(image.Focused());

    image.SetMouseEvent(true);
    QApplication::sendEvent(&image, &enter);
    EXPECT_TRUE(image.Focused());
    QApplication::sendEvent(&image, &leave);
    EXPECT_FALSE(image.Focused());
    QTest::mouseClick(&image, Qt::LeftButton);
    EXPECT_TRUE(image.Focused());
}

// The item windows

TEST(ItemWindowsTest, AWmaItemHasNoWindows) {
    TScriptedDialogs dialogs;
    TMediaEnvironment env{"/data/", "GB18030"};
    std::shared_mutex lock;
    TQtItemWindows windows(dialogs, nullptr, kDefaultPicture, lock);
    TWMAObj item(env);
    item.LoadFromFile("/m/a.wma");
    EXPECT_EQ(windows.ShowProperties(item, "MAIN", nullptr), 0);
    EXPECT_EQ(windows.ShowPicture(item, nullptr), 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
