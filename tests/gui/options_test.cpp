#include "playback/options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

#include "core/sysinfo.h"
#include "tempdir.h"

namespace {

using Stored = std::map<std::string, std::string>;

const char* const kBoxes[] = {"CheckBoxTray", "CheckBoxAutoDisplay", "CheckBoxInsert", "bsSkinCheckRadioBox1"};

// Each dialog gets a store of its own, holding `stored`.
class OptionsTest : public ::testing::Test {
protected:
    TFormOptions& Open(const Stored& stored, TFormOptions::TPage page = TFormOptions::pgGeneral) {
        dir = std::make_unique<TempDir>();
        settings = std::make_unique<TSysInfo>(dir->Path());
        for (const auto& [key, value] : stored) settings->WriteString(key, value);
        dialog = std::make_unique<TFormOptions>(*settings, nullptr, page);
        dialog->show();
        return *dialog;
    }
    QCheckBox* Box(const char* name) const { return dialog->findChild<QCheckBox*>(name); }
    QPushButton* Button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    Stored Read() const {
        Stored values;
        for (const char* key : {"application.tray", "lyrics.windows.autodisplay", "lyrics.insert_blank_line",
                                "auto_show_lyric_playing", "lyrics.font", "lyrics.size", "lyrics.color"})
            values[key] = settings->ReadString(key, "absent");
        return values;
    }
    void ChangeEverything() {
        // On the indicator: a box stretched by its layout takes no click at its far end.
        for (const char* name : kBoxes) QTest::mouseClick(Box(name), Qt::LeftButton, {}, QPoint(6, Box(name)->height() / 2));
        dialog->FontList()->setCurrentIndex(dialog->FontList()->count() - 1);
        dialog->SizeBox()->lineEdit()->clear();
        QTest::keyClicks(dialog->SizeBox()->lineEdit(), "abc");
        dialog->ColorList()->setCurrentIndex(dialog->ColorList()->findText("绿色"));
    }

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<TSysInfo> settings;
    std::unique_ptr<TFormOptions> dialog;
};

TEST_F(OptionsTest, OpensOnTheAskedPage) {
    for (auto [page, shown] : {std::pair{TFormOptions::pgGeneral, "常规"}, std::pair{TFormOptions::pgLyrics, "歌词"}}) {
        QTabWidget* pages = Open({}, page).PageControl1();
        EXPECT_EQ(pages->tabText(pages->currentIndex()), shown);
    }
    EXPECT_EQ(TFormOptions(*settings, nullptr).PageControl1()->currentIndex(), 0);
}

TEST_F(OptionsTest, ControlsShowTheStoredSettings) {
    struct Case {
        Stored stored;
        bool checked[4]; // in the order of kBoxes
        const char *size, *color;
    };
    const Case cases[] = {
        {{}, {true, true, false, false}, "", "蓝色"},
        {{{"application.tray", "false"}, {"lyrics.windows.autodisplay", "false"}, {"lyrics.insert_blank_line", "true"},
          {"auto_show_lyric_playing", "true"}, {"lyrics.size", "12"}, {"lyrics.color", "255"}},
         {false, false, true, true}, "12", "红色"},
        {{{"application.tray", "yes"}, {"lyrics.size", "abc"}, {"lyrics.color", "blue"}},
         {true, true, false, false}, "abc", "蓝色"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        Open(c.stored);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Box(kBoxes[i])->isChecked(), c.checked[i]) << kBoxes[i];
        EXPECT_EQ(dialog->SizeBox()->currentText(), c.size);
        EXPECT_EQ(dialog->ColorList()->currentText(), c.color);
        EXPECT_EQ(dialog->FontList()->currentText(), "");
    }
}

TEST_F(OptionsTest, OKWritesEveryControlWithTheSizeTextUnchanged) {
    Open({{"lyrics.size", "9"}});
    ChangeEverything();
    QTest::mouseClick(Button("BitBtn1"), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Read(), (Stored{{"application.tray", "false"}, {"lyrics.windows.autodisplay", "false"},
                              {"lyrics.insert_blank_line", "true"}, {"auto_show_lyric_playing", "true"},
                              {"lyrics.font", dialog->FontList()->currentText().toStdString()},
                              {"lyrics.size", "abc"}, {"lyrics.color", "32768"}}));
}

TEST_F(OptionsTest, AFontOrColourTheListsLackSurvivesOK) {
    Open({{"lyrics.font", "No Such Font"}, {"lyrics.color", "1193046"}});
    Button("BitBtn1")->click();
    EXPECT_EQ(settings->ReadString("lyrics.font"), "No Such Font");
    EXPECT_EQ(settings->ReadString("lyrics.color"), "1193046");
}

TEST_F(OptionsTest, EveryWayOfCancellingWritesNothing) {
    const std::function<void()> ways[] = {
        [this] { QTest::mouseClick(Button("bsSkinButton2"), Qt::LeftButton); },
        [this] { QTest::keyClick(dialog.get(), Qt::Key_Escape); },
        [this] { dialog->close(); },
    };
    for (const auto& cancel : ways) {
        Open({{"application.tray", "true"}, {"lyrics.size", "11"}});
        const Stored before = Read();
        ChangeEverything();
        cancel();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(Read(), before);
    }
}

} // namespace
