#include "media/itemwindows.h"

#include <utility>

#include "media/imageview.h"
#include "media/mp3tag.h"
#include "media/properties.h"

// The program's style sheet gives every window the skin's look, so the skin
// an item window is handed needs nothing more.

TQtItemWindows::TQtItemWindows(TDialogs& dialogs, QWidget* owner, QString defaultPicture,
                               std::shared_mutex& libraryLock)
    : dialogs_(dialogs), owner_(owner), defaultPicture_(std::move(defaultPicture)), libraryLock_(libraryLock) {}

int TQtItemWindows::ShowProperties(TMObj& item, const std::string& page, const TSkin*) {
    auto* mpeg = dynamic_cast<TMP3Tag*>(&item);
    if (mpeg == nullptr) return 0;
    TFormProperties form(dialogs_, defaultPicture_, owner_, &libraryLock_);
    form.FillFromItem(*mpeg);
    form.SelectPage(page);
    return form.exec();
}

int TQtItemWindows::ShowPicture(TMObj& item, const TSkin*) {
    const auto* mpeg = dynamic_cast<const TMP3Tag*>(&item);
    if (mpeg == nullptr) return 0;
    TFormImageView view(owner_);
    view.FillFromItem(*mpeg);
    view.exec();
    return 0;
}
