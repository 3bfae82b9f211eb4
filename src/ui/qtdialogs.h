#pragma once

#include "ui/dialogs.h"

// The program's dialogs: Qt message boxes and file dialogs. The file dialogs
// open in the folder last chosen in any of them.
class TQtDialogs : public TDialogs {
public:
    void Error(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    int Choose(QWidget* parent, const QString& text, const QStringList& buttons) override;
    QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
    QString SaveFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString Folder(QWidget* parent, const QString& title) override;

private:
    // Remembers the folder of a chosen path; passes the path on.
    QString Remember(const QString& path, bool isFolder);

    QString lastFolder_;
};

// A filter written "description|pattern|description|pattern" as Qt's file
// dialogs take it ("description (pattern);;..."); other filters unchanged.
QString QtFileFilter(const QString& filter);
