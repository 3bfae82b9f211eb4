// tunecrate: starts the window's program ("tunecrate-window", beside it) and
// stands for it until it ends. It loads nothing but the C library, so that a
// stop signal (SIGTERM, SIGINT, SIGHUP) is held from the first moment of a
// start: the window's program needs tens of milliseconds to load its
// libraries before it can catch one. A signal that comes before the window's
// program catches them itself waits, and is passed on once it does; the
// window's program then saves what it was given before it ends.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/readiness.h"

namespace {

pid_t child = -1;

void PassOn(int stop) { kill(child, stop); }

} // namespace

int main(int, char** argv) {
    sigset_t stops, before;
    sigemptyset(&stops);
    for (const int stop : kStopSignals) sigaddset(&stops, stop);
    sigprocmask(SIG_BLOCK, &stops, &before);

    // The window's program is beside this one, by the real path of this one.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 32);
    if (length <= 0) return 127;
    self[length] = '\0';
    std::strcpy(std::strrchr(self, '/') + 1, "tunecrate-window");

    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return 127;
    child = fork();
    if (child == 0) {
        // The stops stay held in the window's program until it catches them.
        char fd[16];
        std::snprintf(fd, sizeof fd, "%d", ready[1]);
        setenv(kReadyVariable, fd, 1);
        fcntl(ready[1], F_SETFD, 0);
        execv(self, argv);
        std::fprintf(stderr, "tunecrate: cannot start %s: %s\n", self, std::strerror(errno));
        _exit(127);
    }
    close(ready[1]);
    if (child < 0) return 127;
    // A byte when the window's program catches the stops; nothing when it
    // ends before.
    char byte = 0;
    while (read(ready[0], &byte, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);

    struct sigaction action {};
    action.sa_handler = PassOn;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int stop : kStopSignals) sigaction(stop, &action, nullptr);
    sigprocmask(SIG_SETMASK, &before, nullptr);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        raise(WTERMSIG(status));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
