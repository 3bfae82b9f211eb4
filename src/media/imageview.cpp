#include "media/imageview.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <string>

#include "media/mp3tag.h"

namespace {

constexpr int kSide = 120;
constexpr int kGap = 10;
constexpr int kCell = kSide + kGap;
constexpr int kColumns = 3;
// Room for a scroll bar and the frame around the panel.
constexpr int kScrollRoom = 30;

} // namespace

TFormImageView::TFormImageView(QWidget* owner) : QDialog(owner) {
    setObjectName("FormImageView");
    setWindowTitle("图片查看器");

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("ScrollBox");
    panel_ = new QWidget;
    panel_->setObjectName("Panel");
    panel_->setFixedSize(kColumns * kCell, 0);
    scroll_->setWidget(panel_);
    scroll_->setMinimumSize(kColumns * kCell + kScrollRoom, 2 * kCell + kScrollRoom);

    auto* ok = new QPushButton("确定", this);
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addLayout(buttons);

    setFixedSize(sizeHint());
    move(screen()->availableGeometry().center() - rect().center());
}

void TFormImageView::FillFromItem(const TMP3Tag& item) {
    const std::vector<std::string> files = item.PictureList();
    const int count = static_cast<int>(files.size());
    panel_->setFixedSize(kColumns * kCell, (count + kColumns - 1) / kColumns * kCell);
    for (int i = 0; i < count; ++i) {
        // A picture that is missing or cannot be read leaves its place empty.
        QPixmap picture;
        if (!picture.load(QString::fromStdString(files[static_cast<std::size_t>(i)]))) continue;
        auto* control = new QLabel(panel_);
        control->setObjectName("Image" + QString::number(i));
        control->setAlignment(Qt::AlignCenter);
        control->setGeometry((i % kColumns) * kCell + kGap, (i / kColumns) * kCell + kGap, kSide, kSide);
        control->setPixmap(picture.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        control->show();
        pictures_.push_back(control);
    }
}
