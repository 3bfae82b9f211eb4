#include "ui/qtdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

// Some messages break their lines with a lone carriage return, which a Qt
// label would run together.
QString Shown(QString text) { return text.replace(QRegularExpression("\r(?!\n)"), "\n"); }

} // namespace

void TQtDialogs::Error(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), Shown(text), QMessageBox::Ok,
                    parent);
    // Qt's own texts stay English without a translator loaded.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

bool TQtDialogs::Confirm(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), Shown(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    // An absent-minded Enter must not delete anything.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

int TQtDialogs::Choose(QWidget* parent, const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), Shown(text), QMessageBox::NoButton,
                    parent);
    QList<QAbstractButton*> pressable;
    for (const QString& caption : buttons) pressable.append(box.addButton(caption, QMessageBox::AcceptRole));
    if (pressable.isEmpty()) return -1;
    box.setDefaultButton(static_cast<QPushButton*>(pressable.front()));
    box.setEscapeButton(pressable.back());
    box.exec();
    const qsizetype pressed = pressable.indexOf(box.clickedButton());
    return static_cast<int>(pressed < 0 ? pressable.size() - 1 : pressed);
}

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    if (parts.size() < 2) return filter;
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
    return entries.join(";;");
}

QStringList TQtDialogs::OpenFiles(QWidget* parent, const QString& title, const QString& filter) {
    const QStringList files = QFileDialog::getOpenFileNames(parent, title, lastFolder_, QtFileFilter(filter));
    if (!files.isEmpty()) Remember(files.first(), false);
    return files;
}

QString TQtDialogs::SaveFile(QWidget* parent, const QString& title, const QString& filter) {
    QFileDialog dialog(parent, title, lastFolder_, QtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an ending takes the ending of the filter chosen.
    const auto useEndingOf = [&dialog](const QString& nameFilter) {
        dialog.setDefaultSuffix(QRegularExpression(R"(\*\.(\w+))").match(nameFilter).captured(1));
    };
    useEndingOf(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useEndingOf);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return Remember(dialog.selectedFiles().first(), false);
}

QString TQtDialogs::Folder(QWidget* parent, const QString& title) {
    return Remember(QFileDialog::getExistingDirectory(parent, title, lastFolder_), true);
}

QString TQtDialogs::Remember(const QString& path, bool isFolder) {
    if (!path.isEmpty()) lastFolder_ = isFolder ? path : QFileInfo(path).absolutePath();
    return path;
}
