#include <iostream>

#include "tools/inspect.h"

// "tcrate-inspect play": tcrate-inspect hands the command's arguments over.
int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return InspectPlay(args, std::cout, std::cerr);
}
