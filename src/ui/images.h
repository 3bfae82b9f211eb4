#pragma once

#include <QIcon>

// The 20 by 20 pictures shared by the tree, the lists, the menus and the tool
// bar, by their index. Indexes without a picture (11, 13) give an empty icon.
namespace Images {
enum Role : int {
    kAllItemsRoot = 0,
    kFavourites = 1,    // root, add-to-favourites and play-favourites commands
    kPlaylist = 2,      // root, add-to-playlist and play-playlist commands
    kMediaItem = 3,     // media item row
    kNowPlaying = 4,    // root, the box menu's play command, the playing-item mark
    kDelete = 5,
    kFileInfo = 6,
    kHelp = 7,
    kAbout = 8,
    kFullDelete = 9,
    kSavePlaylist = 10,
    kSearch = 12,
    kCut = 14,
    kPaste = 15,
    kRefresh = 16,
    kAddFolder = 17,
    kAddFiles = 18,
    kDownloadSites = 19,
    kColumns = 20,
    kTextRow = 21,
    kPicture = 22,
    kWebAddress = 23,   // web address row and home page
    kLyrics = 24,       // long text and lyrics
    kStreamInfo = 25,
    kOpenPlaylist = 26,
    kOptions = 27,
    kFileRow = 28,
    kPrevious = 29,     // also the sort arrow
    kNext = 30,         // also the sort arrow
    kBox = 31,          // box node and box row
    kSelectedBox = 32,
    kPlay = 33,
    kExit = 34,
    kPause = 35,
    kMainWindow = 36,
    kVolumeUp = 37,
    kVolumeDown = 38,
};
inline constexpr int kCount = 39;
} // namespace Images

QIcon ImageList20(int index);
// The program's icon (window, tray, about window).
QIcon ProgramIcon();
