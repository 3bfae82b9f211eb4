#pragma once

#include <QString>
#include <memory>

#include "browser/mainwindow.h"

// The first start's window, shown: it takes the files of later starts when
// its setup has the channel; otherwise problem says why later starts cannot
// reach it, on standard error and in a message box. The end of the desktop
// session saves the library and the settings, the end of the program tears
// the window down.
std::unique_ptr<TtcrateFormMain> OpenMainWindow(TMainWindowSetup setup, const QString& problem);

// SIGTERM, SIGINT and SIGHUP are caught from the first moment: one that comes
// while the window is still being made waits until the library exists, so
// that the files given on the command line are saved with it.
void CatchStopSignals();
// A stop signal, caught before or after, closes the window as Exit does, with
// no one to answer questions, so the library is saved.
void CloseOnStopSignals(TtcrateFormMain& window);
