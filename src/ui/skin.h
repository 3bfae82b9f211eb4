#pragma once

#include <QColor>
#include <QString>
#include <optional>

// A skin: the look of every window, described by a file of our own
// ("Skins/<name>/skin.ini") that names a Qt style sheet beside it and the
// colours of the lists and the tree.
struct TSkin {
    QString path;       // the description file
    QString name;       // "Clouds", "MacX", "Wistler"
    QString styleSheet; // with the skin folder's pictures resolved to full paths
    QColor windowBackground;
    QColor listBackground;
    QColor listAlternateBackground;
    QColor listText;
    QColor listSelection;
    QColor listSelectionText;
    QColor treeLines;
    QColor infoBackground; // the information panel
};

// The hints are pale blue under every skin.
inline constexpr QRgb kHintColour = 0xB5E5EE;

// The description file a skin setting names, below the resource folder's
// "Skins/": only a setting "Skins/<name>/skin.ini" with a plain folder name
// names one; empty for anything else.
QString SkinFile(const QString& resourceFolder, const QString& setting);

// Reads a skin description file; none when it or its style sheet cannot be
// read, is not a regular file, is larger than a skin's file can be, or the
// style sheet is named with a folder.
std::optional<TSkin> LoadSkin(const QString& path);

// Gives every window of the program, open now or later, the skin's look,
// with the hints in kHintColour whatever the skin's style sheet says.
void ApplySkin(const TSkin& skin);
