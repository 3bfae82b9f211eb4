#include "ui/opendocument.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void OpenDocument(const QString& target) {
    const QUrl url = QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    QDesktopServices::openUrl(url);
}
