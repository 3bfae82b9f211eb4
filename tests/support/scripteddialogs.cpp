#include "scripteddialogs.h"

namespace {

template <typename T>
T Next(QQueue<T>& answers) {
    return answers.isEmpty() ? T() : answers.dequeue();
}

} // namespace

void TScriptedDialogs::Error(QWidget*, const QString& text) { requests.append({Kind::Error, text}); }

bool TScriptedDialogs::Confirm(QWidget*, const QString& text) {
    requests.append({Kind::Confirm, text});
    return Next(confirmAnswers);
}

int TScriptedDialogs::Choose(QWidget*, const QString& text, const QStringList& buttons) {
    requests.append({Kind::Choose, text});
    if (onChoose) onChoose();
    return chooseAnswers.isEmpty() ? static_cast<int>(buttons.size()) - 1 : chooseAnswers.dequeue();
}

QStringList TScriptedDialogs::OpenFiles(QWidget*, const QString& title, const QString& filter) {
    requests.append({Kind::OpenFiles, title});
    filters.append(filter);
    return Next(openFilesAnswers);
}

QString TScriptedDialogs::SaveFile(QWidget*, const QString& title, const QString& filter) {
    requests.append({Kind::SaveFile, title});
    filters.append(filter);
    return Next(saveFileAnswers);
}

QString TScriptedDialogs::Folder(QWidget*, const QString& title) {
    requests.append({Kind::Folder, title});
    return Next(folderAnswers);
}

QStringList TScriptedDialogs::Texts(Kind kind) const {
    QStringList texts;
    for (const Request& request : requests)
        if (request.kind == kind) texts.append(request.text);
    return texts;
}
