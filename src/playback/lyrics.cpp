#include "playback/lyrics.h"

#include <QMenu>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/sysinfo.h"
#include "playback/options.h"
#include "ui/images.h"

namespace {

bool IsBlank(QChar c) { return c == u' ' || c.category() == QChar::Other_Control; }

// Spaces and control characters off both ends; other white space (an
// ideographic space, say) belongs to the lyrics.
QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.mid(first, last - first);
}

} // namespace

TFormLyrics::TFormLyrics(TSysInfo& settings, QWidget* owner) : QWidget(owner, Qt::Tool), settings_(settings) {
    setObjectName("FormLyrics");
    setWindowTitle("Lyrics");
    resize(356, 412);

    richEdit_ = new QTextEdit(this);
    richEdit_->setObjectName("RichEdit1");
    richEdit_->setReadOnly(true);
    richEdit_->setFont(QFont("Arial"));
    richEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richEdit_->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(richEdit_);

    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenu1");
    auto add = [this](const char* name, const char* caption, void (TFormLyrics::*handler)()) {
        QAction* action = menu_->addAction(QString::fromUtf8(caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    add("Setting1", "设置", &TFormLyrics::Setting1Click)->setIcon(ImageList20(Images::kOptions));
    menu_->addSeparator();
    add("SelectAll1", "全选", &TFormLyrics::SelectAll1Click);
    add("Copy1", "复制", &TFormLyrics::Copy1Click);
    menu_->addSeparator();
    add("Close1", "隐藏", &TFormLyrics::Close1Click);
    // A scroll area reports the menu's place in its viewport's coordinates.
    connect(richEdit_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(richEdit_->viewport()->mapToGlobal(at)); });
}

void TFormLyrics::PlaceBeside(const QRect& mainFrame, const QRect& listArea) {
    move(mainFrame.x() + mainFrame.width() - width() - 10, listArea.y() + 20);
    resize(width(), listArea.height() - 40);
}

void TFormLyrics::SetLyricsText(const QString& text) {
    const bool blankLine = settings_.ReadBool("lyrics.insert_blank_line", false);
    const QString separator = QStringLiteral("\\n");
    QStringList lines;
    QString rest = text;
    for (qsizetype at = rest.indexOf(separator); at >= 0; at = rest.indexOf(separator)) {
        if (blankLine) lines.append(QString());
        lines.append(TrimBlanks(rest.left(at)));
        rest = TrimBlanks(rest.mid(at + separator.size()));
    }
    // Text without any separator keeps its blanks.
    if (!TrimBlanks(rest).isEmpty()) {
        if (blankLine) lines.append(QString());
        lines.append(rest);
    }
    richEdit_->setPlainText(lines.join(u'\n'));
    richEdit_->moveCursor(QTextCursor::Start);
}

void TFormLyrics::FormShow() {
    // A style sheet of the widget's own, because a skin's style sheet
    // overrides a palette; set first, since applying it resolves the font anew.
    const QColor color = ColorFromBGR(settings_.ReadInteger("lyrics.color", kDefaultLyricsColor));
    richEdit_->setStyleSheet(QStringLiteral("QTextEdit { color: %1; }").arg(color.name()));
    QFont font = richEdit_->font();
    const QString family = QString::fromStdString(settings_.ReadString("lyrics.font"));
    if (!family.isEmpty()) font.setFamily(family);
    const int size = settings_.ReadInteger("lyrics.size", 9);
    // A font has no size of zero or below; such a setting reads as the default.
    font.setPointSize(size > 0 ? size : 9);
    richEdit_->setFont(font);
}

void TFormLyrics::showEvent(QShowEvent* event) {
    FormShow();
    QWidget::showEvent(event);
}

void TFormLyrics::SelectAll1Click() { richEdit_->selectAll(); }

void TFormLyrics::Copy1Click() { richEdit_->copy(); }

void TFormLyrics::Close1Click() { close(); }

void TFormLyrics::Setting1Click() {
    TFormOptions options(settings_, this, TFormOptions::pgLyrics);
    if (options.exec() == QDialog::Accepted) FormShow();
}
