#include "playback/lyrics.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/sysinfo.h"
#include "playback/options.h"
#include "tempdir.h"

namespace {

class LyricsTest : public ::testing::Test {
protected:
    QAction* MenuAction(const char* name) const { return lyrics->ContextMenu()->findChild<QAction*>(name); }
    QString Shown() const { return lyrics->RichEdit1()->toPlainText(); }
    QFont Font() const { return lyrics->RichEdit1()->font(); }
    QColor TextColor() const { return lyrics->RichEdit1()->palette().color(QPalette::Text); }

    TempDir dir;
    TSysInfo settings{dir.Path()};
    QWidget owner;
    TFormLyrics* lyrics = new TFormLyrics(settings, &owner);
};

TEST_F(LyricsTest, LaysOutLinesAtTheTwoCharacterSeparator) {
    struct Case {
        const char* text;
        bool blankLine;
        const char* shown;
    };
    // One window for all: each text replaces the one before.
    const Case cases[] = {
        {R"(First\nSecond)", false, "First\nSecond"},
        {R"(First\nSecond)", true, "\nFirst\n\nSecond"},
        {"  one line  ", false, "  one line  "},
        {"   ", true, ""},
        {R"(First\n)", false, "First"},
        {R"(First\n\n)", false, "First\n"},
        {R"(A\n\nB)", false, "A\n\nB"},
        {"\t A \r\\n \x01 B \n", false, "A\nB"},
        {"第一行\\n\u3000第二行", false, "第一行\n\u3000第二行"},
        {R"(a\b\nc)", false, R"(a\b)" "\nc"},
    };
    lyrics->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        settings.WriteBool("lyrics.insert_blank_line", c.blankLine);
        lyrics->SetLyricsText(QString::fromUtf8(c.text));
        EXPECT_EQ(Shown(), QString::fromUtf8(c.shown));
        EXPECT_EQ(lyrics->RichEdit1()->textCursor().position(), 0);
    }
}

TEST_F(LyricsTest, ShowingAppliesTheFontSettingsOverTheSkin) {
    struct Case {
        const char *font, *size, *color, *family;
        int points;
        QColor shown;
    };
    // In order: an empty font name leaves the one the window has.
    const Case cases[] = {
        {"", "", "", "Arial", 9, QColor(0, 0, 255)},
        {"DejaVu Serif", "14", "255", "DejaVu Serif", 14, QColor(255, 0, 0)},
        {"", "abc", "65535", "DejaVu Serif", 9, QColor(255, 255, 0)},
        {"Arial", "0", "green", "Arial", 9, QColor(0, 0, 255)},
    };
    // Skins colour every text box through the application's style sheet.
    const QString skin = qApp->styleSheet();
    qApp->setStyleSheet("QTextEdit { color: #123456; }");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.font << "," << c.size << "," << c.color);
        settings.WriteString("lyrics.font", c.font);
        settings.WriteString("lyrics.size", c.size);
        settings.WriteString("lyrics.color", c.color);
        lyrics->show();
        EXPECT_EQ(Font().family(), c.family);
        EXPECT_EQ(Font().pointSize(), c.points);
        EXPECT_EQ(TextColor(), c.shown);
        lyrics->hide();
    }
    qApp->setStyleSheet(skin);
}

TEST_F(LyricsTest, SettingsOpenOnTheLyricsPageAndOnlyOKAppliesThem) {
    struct Case {
        const char *button, *typed, *stored;
        int points;
    };
    // In order, from a stored size of 14; an emptied size box removes the key.
    const Case cases[] = {
        {"bsSkinButton2", "16", "14", 14},
        {"BitBtn1", "", "absent", 9},
        {"BitBtn1", "16", "16", 16},
    };
    settings.WriteString("lyrics.size", "14");
    lyrics->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.button << "," << c.typed);
        QString page;
        QTimer::singleShot(0, lyrics, [&page, &c] {
            auto* options = qobject_cast<TFormOptions*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr);
            page = options->PageControl1()->tabText(options->PageControl1()->currentIndex());
            options->SizeBox()->lineEdit()->clear();
            QTest::keyClicks(options->SizeBox()->lineEdit(), c.typed);
            options->findChild<QPushButton*>(c.button)->click();
        });
        MenuAction("Setting1")->trigger();
        EXPECT_EQ(page, "歌词");
        EXPECT_EQ(settings.ReadString("lyrics.size", "absent"), c.stored);
        EXPECT_EQ(Font().pointSize(), c.points);
    }
}

TEST_F(LyricsTest, TheMenuSelectsCopiesAndHidesWithoutDestroying) {
    QStringList captions;
    for (const QAction* action : lyrics->ContextMenu()->actions()) captions.append(action->text());
    EXPECT_EQ(captions, (QStringList{"设置", "", "全选", "复制", "", "隐藏"}));
    lyrics->show();
    QWidget* text = lyrics->RichEdit1()->viewport();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), text->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(text, &click);
    EXPECT_TRUE(lyrics->ContextMenu()->isVisible());
    lyrics->ContextMenu()->hide();

    lyrics->SetLyricsText(R"(First\nSecond)");
    MenuAction("SelectAll1")->trigger();
    MenuAction("Copy1")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "First\nSecond");

    MenuAction("Close1")->trigger();
    EXPECT_FALSE(lyrics->isVisible());
    lyrics->show();
    lyrics->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.findChild<TFormLyrics*>(), lyrics);
    EXPECT_FALSE(lyrics->isVisible());
    EXPECT_EQ(Shown(), "First\nSecond");
}

TEST_F(LyricsTest, StandsBesideTheTrackList) {
    lyrics->PlaceBeside(QRect(100, 50, 800, 600), QRect(300, 170, 590, 400));
    EXPECT_EQ(lyrics->pos(), QPoint(100 + 800 - 356 - 10, 170 + 20));
    EXPECT_EQ(lyrics->size(), QSize(356, 360));
}

} // namespace
