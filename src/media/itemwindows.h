#pragma once

#include <QString>
#include <shared_mutex>

#include "media/mediaenv.h"

class QWidget;
class TDialogs;

// The item windows of the program: the tag editor and the picture viewer,
// modal over the owner. Only MPEG items have them; for others nothing opens.
class TQtItemWindows : public TItemWindows {
public:
    // owner: the parent of the windows; defaultPicture: the full path of
    // "tcrate.jpg"; libraryLock: the lock of the library the items are in.
    TQtItemWindows(TDialogs& dialogs, QWidget* owner, QString defaultPicture, std::shared_mutex& libraryLock);

    // 1 after OK (the item is marked modified), 2 after cancelling or
    // closing, 0 when the item has no tag editor.
    int ShowProperties(TMObj& item, const std::string& page, const TSkin* skin) override;
    // Always 0.
    int ShowPicture(TMObj& item, const TSkin* skin) override;

private:
    TDialogs& dialogs_;
    QWidget* owner_;
    QString defaultPicture_;
    std::shared_mutex& libraryLock_;
};
