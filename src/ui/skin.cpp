#include "ui/skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QStyle>

#include "core/valuelist.h"

namespace {

// Stands for the skin's folder in its style sheet, so url(...) pictures
// resolve wherever the program is installed.
constexpr auto kFolderPlaceholder = "@SKIN@";

// The description file and the style sheet are small text files; anything
// larger is not a skin's.
constexpr qint64 kMaxSkinFileSize = 1 << 20;

// A name inside a folder, not a way out of it.
bool PlainName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

bool ReadText(const QString& path, QString& text) {
    if (!QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.read(kMaxSkinFileSize + 1);
    if (bytes.size() > kMaxSkinFileSize) return false;
    text = QString::fromUtf8(bytes);
    return true;
}

} // namespace

QString SkinFile(const QString& resourceFolder, const QString& setting) {
    const QStringList parts = setting.split('/');
    if (parts.size() != 3 || parts[0] != "Skins" || !PlainName(parts[1]) || parts[2] != "skin.ini") return {};
    return resourceFolder + setting;
}

std::optional<TSkin> LoadSkin(const QString& path) {
    QString text;
    if (!ReadText(path, text)) return std::nullopt;
    TValueList values;
    values.SetText(text.toStdString());
    const auto value = [&values](const char* name) { return QString::fromStdString(values.Get(name)).trimmed(); };

    const QDir folder = QFileInfo(path).absoluteDir();
    TSkin skin;
    skin.path = path;
    skin.name = value("name");
    const QString sheetName = value("stylesheet");
    if (!PlainName(sheetName) || !ReadText(folder.filePath(sheetName), skin.styleSheet)) return std::nullopt;
    skin.styleSheet.replace(QLatin1String(kFolderPlaceholder), folder.absolutePath());

    const std::pair<const char*, QColor TSkin::*> colours[] = {
        {"window.background", &TSkin::windowBackground},
        {"list.background", &TSkin::listBackground},
        {"list.alternate", &TSkin::listAlternateBackground},
        {"list.text", &TSkin::listText},
        {"list.selection", &TSkin::listSelection},
        {"list.selection.text", &TSkin::listSelectionText},
        {"tree.lines", &TSkin::treeLines},
        {"info.background", &TSkin::infoBackground},
    };
    for (const auto& [name, member] : colours) {
        skin.*member = QColor::fromString(value(name));
        if (!(skin.*member).isValid()) return std::nullopt;
    }
    return skin;
}

void ApplySkin(const TSkin& skin) {
    // Starting from the style's own palette, so that no colour of an earlier
    // skin lingers.
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, skin.windowBackground);
    palette.setColor(QPalette::Base, skin.listBackground);
    palette.setColor(QPalette::AlternateBase, skin.listAlternateBackground);
    palette.setColor(QPalette::Text, skin.listText);
    palette.setColor(QPalette::Highlight, skin.listSelection);
    palette.setColor(QPalette::HighlightedText, skin.listSelectionText);
    QApplication::setPalette(palette);
    // The later rule wins over the skin's own.
    qApp->setStyleSheet(skin.styleSheet + QStringLiteral("\nQToolTip { background-color: %1; }\n")
                                              .arg(QColor(kHintColour).name()));
}
