#pragma once

#include <QList>
#include <QQueue>
#include <functional>

#include "ui/dialogs.h"

// Dialogs for tests: every request is recorded, none opens a window, and the
// answers come from queues the test fills. An empty queue answers No or
// nothing, as a user cancelling would.
class TScriptedDialogs : public TDialogs {
public:
    enum class Kind { Error, Confirm, Choose, OpenFiles, SaveFile, Folder };
    struct Request {
        Kind kind;
        QString text; // the message, or the file dialog's title
        bool operator==(const Request&) const = default;
    };

    void Error(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    // Answers the last button when its queue is empty.
    int Choose(QWidget* parent, const QString& text, const QStringList& buttons) override;
    QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
    QString SaveFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString Folder(QWidget* parent, const QString& title) override;

    // The texts of the requests of one kind, in order.
    QStringList Texts(Kind kind) const;

    QList<Request> requests;
    // The filters the file dialogs were given, in order.
    QStringList filters;
    QQueue<bool> confirmAnswers;
    QQueue<int> chooseAnswers;
    // Called as each Choose box is shown, before it is answered.
    std::function<void()> onChoose;
    QQueue<QStringList> openFilesAnswers;
    QQueue<QString> saveFileAnswers;
    QQueue<QString> folderAnswers;
};
