#include "ui/images.h"

#include <array>

namespace {

// The pictures' files in resources/images, by index; none for the gaps.
constexpr std::array<const char*, Images::kCount> kNames = {
    "00-all-items",     "01-favourites",   "02-playlist",       "03-media-item",  "04-now-playing",
    "05-delete",        "06-file-info",    "07-help",           "08-about",       "09-full-delete",
    "10-save-playlist", nullptr,           "12-search",         nullptr,          "14-cut",
    "15-paste",         "16-refresh",      "17-add-folder",     "18-add-files",   "19-download-sites",
    "20-columns",       "21-text-row",     "22-picture",        "23-web-address", "24-lyrics",
    "25-stream-info",   "26-open-playlist", "27-options",       "28-file-row",    "29-previous",
    "30-next",          "31-box",          "32-selected-box",   "33-play",        "34-exit",
    "35-pause",         "36-main-window",  "37-volume-up",      "38-volume-down",
};

} // namespace

// The resources live in a static library, whose unreferenced objects the
// linker would leave out. Outside any namespace, as the macro requires.
static void InitResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    (void)done;
}

QIcon ImageList20(int index) {
    if (index < 0 || index >= Images::kCount || kNames[index] == nullptr) return {};
    InitResources();
    // One icon per picture, so that each is drawn once per size however many
    // rows show it.
    static std::array<QIcon, Images::kCount> icons;
    QIcon& icon = icons[index];
    if (icon.isNull()) {
        const QString file = QStringLiteral(":/images/%1.svg").arg(QLatin1String(kNames[index]));
        icon.addFile(file);
        // Drawn as they are on a selected row too, not tinted by the style.
        icon.addFile(file, QSize(), QIcon::Selected);
    }
    return icon;
}

QIcon ProgramIcon() {
    InitResources();
    return QIcon(QStringLiteral(":/images/tunecrate.svg"));
}
