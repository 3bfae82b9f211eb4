#include <iostream>

#include "tools/inspect.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunInspect(args, std::cout, std::cerr);
}
