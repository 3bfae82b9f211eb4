#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every message box and file dialog of the program goes through this
// interface, so that tests answer them without a window ever blocking.
class TDialogs {
public:
    virtual ~TDialogs() = default;

    // An error box with one OK button.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // A warning box with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // A warning box with one button of each text, the first the default;
    // the index of the one pressed. Closing the box presses the last.
    virtual int Choose(QWidget* parent, const QString& text, const QStringList& buttons) = 0;
    // Empty when cancelled. Filters are written "description|pattern|...".
    virtual QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString Folder(QWidget* parent, const QString& title) = 0;
};
