#pragma once

#include <csignal>

// Between the launcher ("tunecrate") and the window's program it starts: the
// stop signals the launcher holds until the window's program catches them,
// and the variable naming the file descriptor the window's program writes
// one byte to once it does.
inline constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
inline constexpr const char* kReadyVariable = "TCRATE_READY_FD";
