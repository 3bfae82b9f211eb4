#pragma once

#include <QObject>

class TtcrateFormMain;

// The box context menu's commands on a box as a whole: loading a playlist
// file into it, saving it as a playlist file and copying its audio files into
// a folder.
class TPlaylistCommands : public QObject {
    Q_OBJECT
public:
    explicit TPlaylistCommands(TtcrateFormMain& window);

    // Puts the library's items a playlist names into the selected box, in
    // place of the box's own items; lines naming no library file are skipped.
    void Open1Click();
    // The selected box's items, child boxes first, into a playlist file.
    void Save1Click();
    // The selected box's audio files into a folder, with the wait window.
    void Copyfiles1Click();

private:
    TtcrateFormMain& window_;
};
