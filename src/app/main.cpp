// The program's entry: one running instance per user. A later start hands
// its first file to the running one (or asks it to come to the front) and
// ends; the first start opens the main window.
#include <QApplication>
#include <QProxyStyle>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

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

int signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[0], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP are caught from the first moment: one that comes
// while the window is still being made waits until the library exists, so
// that the files given on the command line are saved with it.
void CatchStopSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int stop : {SIGTERM, SIGINT, SIGHUP}) sigaction(stop, &action, nullptr);
}

// A stop signal closes the window as Exit does, with no one to answer
// questions, so the library is saved.
void CloseOnStopSignals(TtcrateFormMain& window) {
    if (signalPipe[1] < 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        while (read(signalPipe[1], bytes, sizeof bytes) > 0) {
        }
        window.CloseUnattended();
    });
}

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
