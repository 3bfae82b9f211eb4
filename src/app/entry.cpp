#include "app/entry.h"

#include <QGuiApplication>
#include <cstdio>

#include "ui/dialogs.h"

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
