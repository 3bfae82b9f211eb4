#include "browser/about.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "ui/images.h"

TFormAbout::TFormAbout(QWidget* parent, std::function<void()> openHomePage)
    : QDialog(parent), openHomePage_(std::move(openHomePage)) {
    setObjectName("FormAbout");
    setWindowTitle("Tunecrate");
    setFixedSize(488, 270);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName("Image1");
    picture->setPixmap(ProgramIcon().pixmap(128, 128));
    picture->setFixedSize(128, 128);
    picture->setCursor(Qt::PointingHandCursor);
    picture->installEventFilter(this);
    picture_ = picture;

    auto* title = new QLabel("Tunecrate(tcrate)", this);
    title->setObjectName("LabelTitle");
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);

    auto* lines = new QTextEdit(this);
    lines->setObjectName("MemoAbout");
    lines->setReadOnly(true);
    lines->setPlainText("Version 3.5\n"
                        "Release date 2005-01-10\n"
                        "Author: the Tunecrate developers\n"
                        "Home page: the help pages that come with the program\n"
                        "Support: see the help page (帮助)\n"
                        "Supported Media type: MP3(Id3v1,ID3v2)");

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("确定", QDialogButtonBox::AcceptRole);
    ok->setObjectName("ButtonOK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(lines, 1);
    text->addWidget(buttons);
    auto* row = new QHBoxLayout(this);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addLayout(text, 1);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::MouseButtonRelease) {
        openHomePage_();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
