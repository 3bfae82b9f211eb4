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
