#include "app/entry.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "app/readiness.h"
#include "ui/dialogs.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[0], &byte, 1);
}

} // namespace

void CatchStopSignals() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t stops;
    sigemptyset(&stops);
    for (const int stop : kStopSignals) {
        sigaction(stop, &action, nullptr);
        sigaddset(&stops, stop);
    }
    // The launcher held them until now, and passes on its own from here.
    sigprocmask(SIG_UNBLOCK, &stops, nullptr);
    if (const char* ready = std::getenv(kReadyVariable)) {
        const int fd = std::atoi(ready);
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
        close(fd);
        unsetenv(kReadyVariable);
    }
}

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

std::unique_ptr<TtcrateFormMain> OpenMainWindow(TMainWindowSetup setup, const QString& problem) {
    auto window = std::make_unique<TtcrateFormMain>(std::move(setup));
    TtcrateFormMain* frame = window.get();
    // A logout the user cancels leaves the window running: nothing is torn down here.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame, [frame] { frame->SaveSession(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, frame, [frame] { frame->FormDestroy(); });
    window->show();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "tunecrate: later starts cannot hand files over: %s\n", qPrintable(problem));
        frame->Dialogs().Error(frame, "以后启动的 Tunecrate 无法把文件交给这个窗口:\n" + problem);
    }
    return window;
}
