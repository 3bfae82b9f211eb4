// The program's entry: one running instance per user. A later start hands
// its first file to the running one (or asks it to come to the front) and
// ends; the first start opens the main window.
#include <QApplication>
#include <QProxyStyle>
#include <cstdio>

#include "app/entry.h"
#include "core/paths.h"
#include "platform/instance.h"
#include "ui/qtdialogs.h"

namespace {

// Hints come up at once.
class THintStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

int main(int argc, char** argv) {
    CatchStopSignals();
    QApplication app(argc, argv);
    app.setApplicationName("Tunecrate");
    // Desktops match the window and the media controls to "tunecrate.desktop" by this name.
    QGuiApplication::setDesktopFileName("tunecrate");
    const QStringList files = app.arguments().mid(1);

    TInstanceChannel channel;
    const TStartDecision start = DecideStart(channel, files);
    if (!start.run) {
        if (!start.problem.isEmpty()) std::fprintf(stderr, "tunecrate: %s\n", qPrintable(start.problem));
        return start.exitCode;
    }

    app.setStyle(new THintStyle);
    TQtDialogs dialogs;
    THandOffReceiver* handOff = start.problem.isEmpty() ? &channel : nullptr;
    const std::string dataFolder = DataFolder();
    const std::string programFolder = ProgramFolder();
    TMainWindowSetup setup{dataFolder, ResourceFolder(), files, &dialogs, handOff};
    setup.mediaControls = true;
    if (dataFolder != programFolder) setup.formerFolder = programFolder;
    const auto window = OpenMainWindow(std::move(setup), start.problem);
    CloseOnStopSignals(*window);
    return app.exec();
}
