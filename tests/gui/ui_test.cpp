#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <gtest/gtest.h>

#include "scripteddialogs.h"
#include "ui/images.h"
#include "ui/qtdialogs.h"
#include "ui/skin.h"

namespace {

QString BesideProgram(const QString& name) { return QDir(QCoreApplication::applicationDirPath()).filePath(name); }

bool WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// A skin description with every colour; a line put first overrides one.
QByteArray SkinText(const QByteArray& firstLine = {}) {
    return firstLine + "\nName=Test\nStyleSheet=test.qss\nwindow.background=#010203\nlist.background=#ffffff\n"
                       "list.alternate=#f0f0f0\nlist.text=#111111\nlist.selection=#b5e5ee\n"
                       "list.selection.text=#0b2030\ntree.lines=#8aa4bf\ninfo.background=#f7fbff\n";
}

bool HasVisiblePixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) return true;
    return false;
}

} // namespace

TEST(SkinLoading, CloudsGivesItsNameColoursAndPicturesInItsFolder) {
    const auto skin = LoadSkin(BesideProgram("Skins/Clouds/skin.ini"));
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->name, "Clouds");
    EXPECT_EQ(skin->windowBackground, QColor(0xee, 0xf4, 0xfa));
    EXPECT_EQ(skin->listSelection, QColor(0xb5, 0xe5, 0xee));
    EXPECT_EQ(skin->infoBackground, QColor(0xf7, 0xfb, 0xff));

    EXPECT_FALSE(skin->styleSheet.contains("@SKIN@"));
    const QString folder = QDir(BesideProgram("Skins/Clouds")).absolutePath();
    int pictures = 0;
    for (const auto& match : QRegularExpression(R"re(url\("([^"]+)"\))re").globalMatch(skin->styleSheet)) {
        EXPECT_TRUE(match.captured(1).startsWith(folder + "/") && QFile::exists(match.captured(1)))
            << match.captured(1).toStdString();
        ++pictures;
    }
    EXPECT_GT(pictures, 0);
}

TEST(SkinLoading, PlaceholderBecomesTheSkinFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteText(dir.filePath("skin.ini"), SkinText()));
    ASSERT_TRUE(WriteText(dir.filePath("test.qss"), "QWidget { image: url(\"@SKIN@/b.svg\"); }"));
    const auto skin = LoadSkin(dir.filePath("skin.ini"));
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->styleSheet, "QWidget { image: url(\"" + QDir(dir.path()).absolutePath() + "/b.svg\"); }");
    EXPECT_EQ(skin->windowBackground, QColor(1, 2, 3));
}

TEST(SkinLoading, NoneWithoutItsStyleSheetOrWithABadColour) {
    QTemporaryDir dir;
    const QString path = dir.filePath("skin.ini");
    EXPECT_FALSE(LoadSkin(path).has_value());
    ASSERT_TRUE(WriteText(path, SkinText()));
    EXPECT_FALSE(LoadSkin(path).has_value()); // no test.qss
    ASSERT_TRUE(WriteText(dir.filePath("test.qss"), ""));
    ASSERT_TRUE(LoadSkin(path).has_value());
    for (const QByteArray line : {"stylesheet=", "list.selection=#12345g", "tree.lines="}) {
        ASSERT_TRUE(WriteText(path, SkinText(line)));
        EXPECT_FALSE(LoadSkin(path).has_value()) << line.constData();
    }
}

TEST(SkinApplying, SetsTheStyleSheetAndListColoursForWindowsOpenedLater) {
    const auto skin = LoadSkin(BesideProgram("Skins/Clouds/skin.ini"));
    ASSERT_TRUE(skin.has_value());
    ApplySkin(*skin);
    EXPECT_TRUE(qApp->styleSheet().startsWith(skin->styleSheet));
    const QPalette palette = QTreeView().palette();
    EXPECT_EQ(palette.color(QPalette::Window), skin->windowBackground);
    EXPECT_EQ(palette.color(QPalette::Base), skin->listBackground);
    EXPECT_EQ(palette.color(QPalette::AlternateBase), skin->listAlternateBackground);
    EXPECT_EQ(palette.color(QPalette::Text), skin->listText);
    EXPECT_EQ(palette.color(QPalette::Highlight), skin->listSelection);
    EXPECT_EQ(palette.color(QPalette::HighlightedText), skin->listSelectionText);
    qApp->setStyleSheet(QString());
    QApplication::setPalette(QApplication::style()->standardPalette());
}

TEST(Pictures, EveryRoleHasAVisiblePictureAndTheGapsNone) {
    for (int index = -1; index <= Images::kCount; ++index) {
        const QIcon icon = ImageList20(index);
        if (index < 0 || index == 11 || index == 13 || index == Images::kCount) {
            EXPECT_TRUE(icon.isNull()) << index;
            continue;
        }
        const QImage image = icon.pixmap(QSize(20, 20)).toImage();
        EXPECT_EQ(image.size(), QSize(20, 20)) << index;
        EXPECT_TRUE(HasVisiblePixel(image)) << index;
    }
}

TEST(Pictures, ProgramIconDefaultPictureAndHelpAreThere) {
    EXPECT_TRUE(HasVisiblePixel(ProgramIcon().pixmap(QSize(16, 16)).toImage()));
    EXPECT_TRUE(HasVisiblePixel(ProgramIcon().pixmap(QSize(256, 256)).toImage()));
    EXPECT_EQ(QImage(BesideProgram("tcrate.jpg")).size(), QSize(200, 200));
    QFile help(BesideProgram("help/index.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    EXPECT_TRUE(help.readAll().contains("<meta charset=\"utf-8\">"));
}

TEST(ScriptedDialogs, RecordEveryRequestAndAnswerFromTheQueuesThenAsCancelled) {
    TScriptedDialogs dialogs;
    dialogs.confirmAnswers << true;
    dialogs.openFilesAnswers << QStringList{"/a.mp3", "/b.mp3"};
    dialogs.folderAnswers << "/music";
    dialogs.Error(nullptr, "无法打开");
    EXPECT_TRUE(dialogs.Confirm(nullptr, "删除吗？"));
    EXPECT_FALSE(dialogs.Confirm(nullptr, "再删除吗？"));
    EXPECT_EQ(dialogs.OpenFiles(nullptr, "添加文件", "*.mp3"), (QStringList{"/a.mp3", "/b.mp3"}));
    EXPECT_TRUE(dialogs.SaveFile(nullptr, "另存为", "*.m3u").isEmpty());
    EXPECT_EQ(dialogs.Folder(nullptr, "添加文件夹"), "/music");
    EXPECT_TRUE(dialogs.Folder(nullptr, "添加文件夹").isEmpty());

    using Kind = TScriptedDialogs::Kind;
    EXPECT_EQ(dialogs.requests.size(), 7);
    EXPECT_EQ(dialogs.requests.first(), (TScriptedDialogs::Request{Kind::Error, "无法打开"}));
    EXPECT_EQ(dialogs.Texts(Kind::Confirm), (QStringList{"删除吗？", "再删除吗？"}));
    EXPECT_EQ(dialogs.Texts(Kind::SaveFile), QStringList{"另存为"});
}

// The box blocks in its own loop; a timer answers it once it is up.
TEST(QtDialogs, ConfirmWarnsWithYesAndNoAndNoAsTheDefault) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        answer.stop();
        icon = box->icon();
        for (QAbstractButton* button : box->buttons()) buttons.append(button->text());
        box->defaultButton()->click();
    });
    answer.start(10);
    EXPECT_FALSE(TQtDialogs().Confirm(nullptr, "删除这些项目吗？"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"否", "是"}));
}

TEST(QtDialogs, ErrorBreaksLinesAtCarriageReturns) {
    QString shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        answer.stop();
        shown = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    answer.start(10);
    TQtDialogs().Error(nullptr, "Xaudio DLL API Mismatch\rExpected 3,2\rGot 4,1\r\nend");
    EXPECT_EQ(shown, "Xaudio DLL API Mismatch\nExpected 3,2\nGot 4,1\r\nend");
}

TEST(SkinApplying, HintsArePaleBlueUnderEverySkin) {
    for (const char* name : {"Clouds", "MacX", "Wistler"}) {
        const auto skin = LoadSkin(BesideProgram(QString("Skins/%1/skin.ini").arg(name)));
        ASSERT_TRUE(skin.has_value()) << name;
        ApplySkin(*skin);
        QWidget anchor;
        anchor.show();
        QToolTip::showText(anchor.mapToGlobal(QPoint(5, 5)), "提示", &anchor);
        QWidget* tip = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->inherits("QTipLabel") && widget->isVisible()) tip = widget;
        ASSERT_NE(tip, nullptr) << name;
        // Inside the border, in the padding, where only the background shows.
        EXPECT_EQ(tip->grab().toImage().pixelColor(2, 2), QColor(kHintColour)) << name;
        QToolTip::hideText();
    }
    qApp->setStyleSheet({});
}

TEST(QtFileFilter, PairsOfDescriptionAndPatternBecomeQtEntries) {
    EXPECT_EQ(QtFileFilter("mp3 files(*.mp3)|*.mp3|mp2 files(*.mp2)|*.mp2"), "mp3 files(*.mp3);;mp2 files(*.mp2)");
    EXPECT_EQ(QtFileFilter("Playlists|*.m3u"), "Playlists (*.m3u)");
    EXPECT_EQ(QtFileFilter("Images (*.png)"), "Images (*.png)");
}
