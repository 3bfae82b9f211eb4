#include "playback/options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>

#include "core/sysinfo.h"

namespace {

struct TNamedColor {
    const char* name;
    int32_t value; // 0x00BBGGRR
};

constexpr std::array<TNamedColor, 16> kColors = {{
    {"黑色", 0x000000},   {"栗色", 0x000080}, {"绿色", 0x008000},   {"橄榄色", 0x008080},
    {"深蓝色", 0x800000}, {"紫色", 0x800080}, {"蓝绿色", 0x808000}, {"灰色", 0x808080},
    {"银色", 0xC0C0C0},   {"红色", 0x0000FF}, {"亮绿色", 0x00FF00}, {"黄色", 0x00FFFF},
    {"蓝色", 0xFF0000},   {"紫红色", 0xFF00FF}, {"青色", 0xFFFF00}, {"白色", 0xFFFFFF},
}};

QIcon Swatch(const QColor& color) {
    QPixmap pixmap(16, 12);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

QColor ColorFromBGR(int32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TFormOptions::TFormOptions(TSysInfo& settings, QWidget* owner, TPage page) : QDialog(owner), settings_(settings) {
    setObjectName("FormOptions");
    setWindowTitle("配置设置");
    setFixedSize(478, 300);

    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    pages_->addTab(MakeGeneralPage(), "常规");
    pages_->addTab(MakeLyricsPage(), "歌词");
    pages_->setCurrentIndex(page);

    auto* ok = new QPushButton("确定", this);
    ok->setObjectName("BitBtn1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFormOptions::BitBtn1Click);
    auto* cancel = new QPushButton("取消", this);
    cancel->setObjectName("bsSkinButton2");
    connect(cancel, &QPushButton::clicked, this, &TFormOptions::bsSkinButton2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    // Centred on the desktop rather than over the owner; a moved dialog keeps its place when shown.
    move(screen()->availableGeometry().center() - rect().center());
}

QCheckBox* TFormOptions::AddCheckBox(QWidget* page, const char* name, const char* caption, const char* key,
                                     bool def) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), page);
    box->setObjectName(name);
    box->setChecked(settings_.ReadBool(key, def));
    checkBoxes_.emplace_back(box, key);
    return box;
}

QWidget* TFormOptions::MakeGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheetGeneral");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(AddCheckBox(page, "CheckBoxTray", "缩小为 图标", "application.tray", true));
    layout->addStretch(1);
    return page;
}

QWidget* TFormOptions::MakeLyricsPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheetLyrics");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(AddCheckBox(page, "CheckBoxAutoDisplay", "当选中歌曲时自动显示歌词",
                                  "lyrics.windows.autodisplay", true));
    layout->addWidget(AddCheckBox(page, "CheckBoxInsert", "每行歌词插入一空行", "lyrics.insert_blank_line", false));
    layout->addWidget(AddCheckBox(page, "bsSkinCheckRadioBox1", "当播放歌曲时自动显示歌词",
                                  "auto_show_lyric_playing", false));

    auto* group = new QGroupBox("歌词字体", page);
    group->setObjectName("GroupBoxFont");
    fontList_ = new QComboBox(group);
    fontList_->setObjectName("ComboBoxFont");
    sizeBox_ = new QComboBox(group);
    sizeBox_->setObjectName("ComboBoxSize");
    sizeBox_->setEditable(true);
    // Typed text is the value itself; Return must not add it to the choices.
    sizeBox_->setInsertPolicy(QComboBox::NoInsert);
    sizeBox_->addItems({"8", "9", "10", "11", "12", "14", "16", "18"});
    colorList_ = new QComboBox(group);
    colorList_->setObjectName("ComboBoxColor");
    LoadLyricsFont();

    auto* fields = new QHBoxLayout(group);
    auto* left = new QFormLayout;
    left->addRow("字体", fontList_);
    auto* right = new QFormLayout;
    right->addRow("大小", sizeBox_);
    right->addRow("颜色", colorList_);
    fields->addLayout(left, 3);
    fields->addLayout(right, 2);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

void TFormOptions::LoadLyricsFont() {
    // A stored font or colour the lists do not offer is listed too, so that OK keeps it.
    const QString font = QString::fromStdString(settings_.ReadString("lyrics.font"));
    QStringList families = QFontDatabase::families();
    if (!font.isEmpty() && !families.contains(font, Qt::CaseInsensitive)) families.append(font);
    families.sort(Qt::CaseInsensitive);
    fontList_->addItems(families);
    fontList_->setCurrentIndex(fontList_->findText(font, Qt::MatchFixedString));

    const QString size = QString::fromStdString(settings_.ReadString("lyrics.size"));
    sizeBox_->setCurrentIndex(sizeBox_->findText(size));
    sizeBox_->setEditText(size);

    for (const TNamedColor& named : kColors)
        colorList_->addItem(Swatch(ColorFromBGR(named.value)), QString::fromUtf8(named.name), named.value);
    const int32_t color = settings_.ReadInteger("lyrics.color", kDefaultLyricsColor);
    int index = colorList_->findData(color);
    if (index < 0) {
        const QColor shown = ColorFromBGR(color);
        colorList_->addItem(Swatch(shown), QStringLiteral("自定义 %1").arg(shown.name()), color);
        index = colorList_->count() - 1;
    }
    colorList_->setCurrentIndex(index);
}

void TFormOptions::BitBtn1Click() {
    for (const auto& [box, key] : checkBoxes_) settings_.WriteBool(key, box->isChecked());
    settings_.WriteString("lyrics.font", fontList_->currentText().toStdString());
    settings_.WriteString("lyrics.size", sizeBox_->currentText().toStdString());
    settings_.WriteString("lyrics.color", std::to_string(colorList_->currentData().toInt()));
    accept();
}

void TFormOptions::bsSkinButton2Click() { reject(); }
