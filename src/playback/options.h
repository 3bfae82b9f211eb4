#pragma once

#include <QColor>
#include <QDialog>
#include <cstdint>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTabWidget;
class TSysInfo;

// "lyrics.color" holds a colour as 0x00BBGGRR; blue when absent.
inline constexpr int32_t kDefaultLyricsColor = 0xFF0000;
QColor ColorFromBGR(int32_t value);

// The options dialog: the tray option and the lyrics options. The settings
// change only when it ends with OK.
class TFormOptions : public QDialog {
    Q_OBJECT
public:
    enum TPage { pgGeneral = 0, pgLyrics = 1 };
    TFormOptions(TSysInfo& settings, QWidget* owner, TPage page = pgGeneral);

    void BitBtn1Click();       // OK
    void bsSkinButton2Click(); // Cancel

    QTabWidget* PageControl1() const { return pages_; }
    QComboBox* FontList() const { return fontList_; }
    QComboBox* SizeBox() const { return sizeBox_; }
    QComboBox* ColorList() const { return colorList_; }

private:
    QWidget* MakeGeneralPage();
    QWidget* MakeLyricsPage();
    QCheckBox* AddCheckBox(QWidget* page, const char* name, const char* caption, const char* key, bool def);
    void LoadLyricsFont();

    TSysInfo& settings_;
    QTabWidget* pages_ = nullptr;
    // Each check box with the key it stands for.
    std::vector<std::pair<QCheckBox*, const char*>> checkBoxes_;
    QComboBox* fontList_ = nullptr;
    QComboBox* sizeBox_ = nullptr;
    QComboBox* colorList_ = nullptr;
};
