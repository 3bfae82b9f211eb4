#include "childtest.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kArgumentVariable = "TCRATE_CHILD_TEST";

} // namespace

pid_t StartChildTest(const std::string& test, const std::string& argument) {
    const std::string filter = "--gtest_filter=" + test;
    const pid_t child = fork();
    if (child != 0) return child;
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    setenv(kArgumentVariable, argument.c_str(), 1);
    execl("/proc/self/exe", "child-test", filter.c_str(), "--gtest_also_run_disabled_tests", nullptr);
    _exit(127);
}

bool RunChildTest(const std::string& test, const std::string& argument) {
    const pid_t child = StartChildTest(test, argument);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void KillChildAfter(pid_t child, useconds_t delay) {
    usleep(delay);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

std::string ChildTestArgument() {
    const char* argument = std::getenv(kArgumentVariable);
    return argument != nullptr ? argument : "";
}
