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

// SIGTERM and SIGINT close the window as the user would, so the library is saved.
void CloseOnStopSignals(QWidget& window) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = read(signalPipe[1], &byte, 1);
        window.close();
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
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
    TMainWindowSetup setup{DataFolder(), ResourceFolder(), files, &dialogs, handOff};
    setup.mediaControls = true;
    const auto window = OpenMainWindow(std::move(setup), start.problem);
    CloseOnStopSignals(*window);
    return app.exec();
}
